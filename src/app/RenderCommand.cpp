#include "CommandLine.h"
#include "RenderOptions.h"

#include "app/ClipboardKeeper.h"
#include "app/Translations.h"
#include "core/ChatTarget.h"
#include "core/ClipSpan.h"
#include "core/Effects.h"
#include "core/CropGeometry.h"
#include "core/EmojiName.h"
#include "core/NumberSyntax.h"
#include "core/Orientation.h"
#include "core/StatusText.h"
#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "model/ClipboardData.h"
#include "model/ExportJob.h"
#include "model/ScriptedRun.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QGuiApplication>
#include <QMimeData>
#include <QSemaphore>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cropling {

namespace {

struct Rendered {
    ExportedEmoji emoji;
    QString note;    // a line to show beside the emoji: what was changed to make it
    QString failure; // naming the picture
};

// What an output's name asks for: a GIF for ".gif", a PNG for any other name.
ExportFormat formatFor(const QByteArray& output) {
    return output.toLower().endsWith(".gif") ? ExportFormat::Gif : ExportFormat::Png;
}

// One file rendered exactly as a scripted save renders it: only its header read on open, the zoom
// taken as given, the offset clamped, just the part shown decoded. With auto-framing the face is
// looked for on the picture decoded as a window would, and the emoji rendered from that decode.
// Every line names the picture as it was given: two files of one name in a batch stay apart.
Rendered renderFile(const RenderInput& input, const FramingRequest& framing, const ExportRequest& request) {
    const ExportOutcome outcome = ExportJob(input.url, framing, request, input.shown).run();
    if (outcome)
        return {*outcome.emoji, outcome.note, {}};
    return {{}, {}, describeWithInput(outcome)};
}

constexpr qsizetype kMaxOutputNameLength = 100;

// Output names by the name rule, without their suffix (".png" or ".gif", known once the picture is
// open), made unique in the order of the files. Each base remembers the next number to try, so
// thousands of files of one name take no longer than as many names.
QList<QByteArray> outputNames(const QList<RenderInput>& inputs, const QByteArray& folder) {
    QList<QByteArray> names;
    QSet<QString> taken;
    QHash<QString, int> next;
    for (const RenderInput& input : inputs) {
        // At most the 100 characters a chat service takes for a name, which also keeps the file
        // name, numbered and with its suffix, well inside the 255 bytes a folder allows.
        QString base = deriveEmojiName(lastPathComponent(input.path)).left(kMaxOutputNameLength);
        while (base.size() > 1 && base.endsWith(u'-'))
            base.chop(1);
        QString name = base;
        if (taken.contains(name)) {
            int& n = next[base];
            n = std::max(n, 2);
            do
                name = base + QLatin1Char('-') + QString::number(n++);
            while (taken.contains(name));
        }
        taken.insert(name);
        names << folder + '/' + name.toUtf8();
    }
    return names;
}

// A picture is the file its argument names; an output is always the literal path it will be
// written to.
std::vector<FileIdentity> pictureIds(const QList<RenderInput>& pictures) {
    std::vector<FileIdentity> ids;
    for (const RenderInput& picture : pictures) {
        if (const auto id = identityOf(picture.path))
            ids.push_back(*id);
    }
    return ids;
}

std::optional<FileIdentity> outputId(const QByteArray& output, bool followLinks) {
    struct stat info {};
    if ((followLinks ? ::stat(output.constData(), &info) : ::lstat(output.constData(), &info)) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

// Why an output may not be written: it is one of the pictures being rendered.
std::optional<QString> overwritesInput(const QByteArray& output, const std::optional<FileIdentity>& target,
                                      const QList<RenderInput>& inputs) {
    if (!target)
        return std::nullopt;
    for (const RenderInput& input : inputs) {
        if (identityOf(input.path) == target)
            return replacesPictureMessage(QString::fromLocal8Bit(output), QString::fromLocal8Bit(input.argument));
    }
    return std::nullopt;
}

// Writes an output, which is checked once more against the pictures as it is written: a link or
// file put at its name during the render must not lead the write into one of them.
std::optional<QString> writeOutput(const QByteArray& output, const QByteArray& bytes, AtTarget target,
                                   const QList<RenderInput>& inputs, const std::vector<FileIdentity>& keep) {
    QString error;
    switch (writeFile(output, bytes, &error, target, keep)) {
    case WriteResult::Written:
        return std::nullopt;
    case WriteResult::WouldReplaceKept:
        return overwritesInput(output, outputId(output, target != AtTarget::ReplaceAnyLink), inputs)
            .value_or(replacesPictureMessage(QString::fromLocal8Bit(output), QString::fromLocal8Bit(inputs.first().argument)));
    case WriteResult::Failed:
        break;
    }
    return saveFailedMessage(QString::fromLocal8Bit(output) + QStringLiteral(": ") + error);
}

// Files of more than this are rendered one at a time in a batch.
constexpr qint64 kLargeFileBytes = 64LL << 20;

int renderMany(const QList<RenderInput>& files, const QByteArray& folder, const FramingRequest& framing,
               const ExportRequest& request) {
    const QList<QByteArray> bases = outputNames(files, folder);
    const std::vector<FileIdentity> keep = pictureIds(files);
    QList<QString> failures(files.size());
    QList<QString> notes(files.size());
    std::atomic<int> finished = 0;
    QList<int> indexes;
    for (int i = 0; i < files.size(); ++i)
        indexes << i;
    // Every core takes files, and each file's helper works on one thread; the terminal shows how
    // far the batch is.
    if (files.size() > 1)
        DecoderSession::setHelperThreads(1);
    // A helper holds its file whole: large files take turns, so that a batch of them stays within
    // the memory one of them needs.
    QSemaphore largeFile(1);
    QFuture<void> work = QtConcurrent::map(indexes, [&](int i) {
        struct stat info {};
        const bool large = ::stat(files[i].path.constData(), &info) == 0 &&
                           info.st_size > kLargeFileBytes;
        if (large)
            largeFile.acquire();
        const Rendered rendered = renderFile(files[i], framing, request);
        if (large)
            largeFile.release();
        const QByteArray output = bases[i] + (rendered.emoji.gif ? ".gif" : ".png");
        // A name in the folder is written only as a new regular file: never through a link, and
        // never over one of the pictures.
        notes[i] = rendered.note;
        if (!rendered.failure.isEmpty())
            failures[i] = rendered.failure;
        else if (const auto refused = overwritesInput(output, outputId(output, false), files))
            failures[i] = *refused;
        else if (const auto failed = writeOutput(output, rendered.emoji.bytes, AtTarget::ReplaceAnyLink, files, keep))
            failures[i] = *failed;
        ++finished;
    });
    const bool terminal = ::isatty(STDERR_FILENO);
    while (!work.isFinished()) {
        if (terminal)
            std::fprintf(stderr, "\rcropling: %d of %lld", finished.load(), (long long)files.size());
        QThread::msleep(50);
    }
    work.waitForFinished();
    if (terminal)
        std::fprintf(stderr, "\r\033[K");
    int failed = 0;
    for (int i = 0; i < files.size(); ++i) {
        if (!failures[i].isEmpty()) {
            reportFailure(failures[i]);
            ++failed;
        } else if (!notes[i].isEmpty()) {
            reportFailure(notes[i]);
        }
    }
    std::fprintf(stderr, "cropling: %lld written, %d failed\n", (long long)(files.size() - failed), failed);
    return failed ? 1 : 0;
}

int copyOne(int argc, char** argv, const RenderOptions& options) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return badArguments(CommandLineText::tr("--copy needs an X11 display (DISPLAY is unset)"));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    installTranslations(app);
    const RenderInput& input = options.inputs.first();
    // Everything but a face search, which a copy does not offer.
    FramingRequest framing = options.framing;
    framing.autoFrame = false;
    const ExportOutcome outcome =
        ExportJob(input.url, framing, ExportRequest{ExportFormat::Auto, kEmojiSide, options.limits, options.effect}, input.shown).run();
    if (!outcome) {
        reportFailure(describeWithInput(outcome));
        return 1;
    }
    const ExportedEmoji& emoji = *outcome.emoji;
    const QString name = deriveEmojiName(lastPathComponent(input.path));
    const std::unique_ptr<QMimeData> data(exportClipboardData(emoji, name));
    if (const auto error = handOverClipboard(*data)) {
        reportFailure(*error);
        return 1;
    }
    return 0;
}

// Where the emoji go, worked out from -o and the file system once the arguments are read.
struct RenderPlan {
    enum class Kind { File, StandardOutput, Folder } kind = Kind::File;
    QByteArray output; // the file, or the folder without its trailing slashes
    bool folderMissing = false;
};

// The plan, or the exit status of arguments that cannot be carried out (their line written).
std::variant<RenderPlan, int> planRender(const RenderOptions& options) {
    QByteArray output = options.output;
    if (output.isEmpty())
        return badArguments(CommandLineText::tr("render needs -o OUT.png, -o - or -o FOLDER/"));
    const bool several = options.inputs.size() > 1;
    if (output == "-") {
        if (several)
            return badArguments(CommandLineText::tr("-o - takes one picture"));
        if (::isatty(STDOUT_FILENO))
            return badArguments(CommandLineText::tr("-o - would write a PNG to the terminal; redirect it to a file"));
        return RenderPlan{RenderPlan::Kind::StandardOutput, output};
    }
    struct stat info {};
    const bool isFolder = ::stat(output.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    if (!isFolder && !output.endsWith('/')) {
        if (several)
            return badArguments(CommandLineText::tr("several pictures need -o FOLDER/"));
        return RenderPlan{RenderPlan::Kind::File, output};
    }
    while (output.size() > 1 && output.endsWith('/'))
        output.chop(1);
    return RenderPlan{RenderPlan::Kind::Folder, output, !isFolder};
}

// One picture to a file or to standard output.
int renderOne(const RenderOptions& options, const RenderPlan& plan) {
    const QByteArray& output = plan.output;
    const bool standardOutput = plan.kind == RenderPlan::Kind::StandardOutput;
    // Standard output counts too: "-o - 1<>photo.jpg" would write into the picture.
    struct stat written {};
    const std::optional<FileIdentity> target =
        standardOutput ? (::fstat(STDOUT_FILENO, &written) == 0 && S_ISREG(written.st_mode)
                              ? std::optional(FileIdentity{written.st_dev, written.st_ino})
                              : std::nullopt)
                       : outputId(output, true);
    if (const auto refused = overwritesInput(output, target, options.inputs)) {
        reportFailure(*refused);
        return 1;
    }
    // Whether the output was a link when named: one that appears during the render is not followed.
    const AtTarget asNamed = targetAsNamed(output);
    const Rendered rendered = renderFile(options.inputs.first(), options.framing,
                                         ExportRequest{formatFor(output), options.size, options.limits, options.effect});
    if (!rendered.failure.isEmpty()) {
        reportFailure(rendered.failure);
        return 1;
    }
    if (!rendered.note.isEmpty())
        reportFailure(rendered.note);
    if (standardOutput) {
        if (writeAll(STDOUT_FILENO, rendered.emoji.bytes))
            return 0;
        reportFailure(saveFailedMessage(QStringLiteral("-: ") + QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    if (const auto failed = writeOutput(output, rendered.emoji.bytes, asNamed, options.inputs, pictureIds(options.inputs))) {
        reportFailure(*failed);
        return 1;
    }
    return 0;
}

} // namespace

// Read, planned, run: the arguments alone first, then what -o names, then the renders.
int runRenderCommand(int argc, char** argv) {
    const std::variant<RenderOptions, int> read = parseRenderOptions(argc, argv);
    if (const int* answered = std::get_if<int>(&read))
        return *answered;
    const RenderOptions& options = std::get<RenderOptions>(read);
    if (options.copy)
        return copyOne(argc, argv, options);
    QCoreApplication app(argc, argv);
    installTranslations(app);
    setCommandLineIdentity();
    const std::variant<RenderPlan, int> planned = planRender(options);
    if (const int* refused = std::get_if<int>(&planned))
        return *refused;
    const RenderPlan& plan = std::get<RenderPlan>(planned);
    // A closed pipe on standard output is a failed write, reported as one, not a silent death.
    ::signal(SIGPIPE, SIG_IGN);
    if (plan.kind != RenderPlan::Kind::Folder)
        return renderOne(options, plan);
    if (plan.folderMissing && !QDir().mkpath(QFile::decodeName(plan.output))) {
        reportFailure(saveFailedMessage(CommandLineText::tr("can't make the folder %1").arg(QString::fromLocal8Bit(plan.output))));
        return 1;
    }
    return renderMany(options.inputs, plan.output, options.framing,
                      ExportRequest{ExportFormat::Auto, options.size, options.limits, options.effect});
}

} // namespace cropling
