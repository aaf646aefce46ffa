#include "CommandLine.h"

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
    QString failure; // naming the picture, whether the reason does by itself or not
};

// What an output's name asks for: a GIF for ".gif", a PNG for any other name.
ExportFormat formatFor(const QByteArray& output) {
    return output.toLower().endsWith(".gif") ? ExportFormat::Gif : ExportFormat::Png;
}

// One file rendered exactly as a scripted save renders it: only its header read on open, the zoom
// taken as given, the offset clamped, just the part shown decoded. With auto-framing the face is
// looked for on the picture decoded as a window would, and the emoji rendered from that decode.
// Every line names the picture as it was given: two files of one name in a batch stay apart.
Rendered renderFile(const QByteArray& path, const FramingRequest& framing, const ExportRequest& request) {
    const ExportOutcome outcome = ExportJob(urlFromArgument(path), framing, request, displayName(path)).run();
    if (outcome)
        return {*outcome.emoji, outcome.note, {}};
    const bool named = outcome.failure == ExportFailure::NotOpened || outcome.failure == ExportFailure::Unreadable ||
                       outcome.failure == ExportFailure::SpanPastEnd;
    return {{}, {}, named ? describe(outcome) : displayName(path) + QStringLiteral(": ") + describe(outcome)};
}

constexpr qsizetype kMaxOutputNameLength = 100;

// Output names by the name rule, without their suffix (".png" or ".gif", known once the picture is
// open), made unique in the order of the files. Each base remembers the next number to try, so
// thousands of files of one name take no longer than as many names.
QList<QByteArray> outputNames(const QList<QByteArray>& files, const QByteArray& folder) {
    QList<QByteArray> names;
    QSet<QString> taken;
    QHash<QString, int> next;
    for (const QByteArray& file : files) {
        // At most the 100 characters a chat service takes for a name, which also keeps the file
        // name, numbered and with its suffix, well inside the 255 bytes a folder allows.
        QString base = deriveEmojiName(lastPathComponent(localPathBytes(urlFromArgument(file)))).left(kMaxOutputNameLength);
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

// A picture is named as on the command line (a path or a file:// URL); an output is always the
// literal path it will be written to.
std::optional<FileIdentity> pictureId(const QByteArray& picture) {
    return identityOf(localPathBytes(urlFromArgument(picture)));
}

std::vector<FileIdentity> pictureIds(const QList<QByteArray>& pictures) {
    std::vector<FileIdentity> ids;
    for (const QByteArray& picture : pictures) {
        if (const auto id = pictureId(picture))
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
                                      const QList<QByteArray>& inputs) {
    if (!target)
        return std::nullopt;
    for (const QByteArray& input : inputs) {
        if (pictureId(input) == target)
            return replacesPictureMessage(QString::fromLocal8Bit(output), QString::fromLocal8Bit(input));
    }
    return std::nullopt;
}

// Writes an output, which is checked once more against the pictures as it is written: a link or
// file put at its name during the render must not lead the write into one of them.
std::optional<QString> writeOutput(const QByteArray& output, const QByteArray& bytes, AtTarget target,
                                   const QList<QByteArray>& inputs, const std::vector<FileIdentity>& keep) {
    QString error;
    switch (writeFile(output, bytes, &error, target, keep)) {
    case WriteResult::Written:
        return std::nullopt;
    case WriteResult::WouldReplaceKept:
        return overwritesInput(output, outputId(output, target != AtTarget::ReplaceAnyLink), inputs)
            .value_or(replacesPictureMessage(QString::fromLocal8Bit(output), QString::fromLocal8Bit(inputs.first())));
    case WriteResult::Failed:
        break;
    }
    return saveFailedMessage(QString::fromLocal8Bit(output) + QStringLiteral(": ") + error);
}

// Files of more than this are rendered one at a time in a batch.
constexpr qint64 kLargeFileBytes = 64LL << 20;

int renderMany(const QList<QByteArray>& files, const QByteArray& folder, const FramingRequest& framing,
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
        const bool large = ::stat(localPathBytes(urlFromArgument(files[i])).constData(), &info) == 0 &&
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

int copyOne(int argc, char** argv, const QByteArray& file, const FramingRequest& framing, const GifLimits& limits,
            const EffectSettings& effect) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return badArguments(CommandLineText::tr("--copy needs an X11 display (DISPLAY is unset)"));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    installTranslations(app);
    const QUrl url = urlFromArgument(file);
    const ExportOutcome outcome =
        ExportJob(url, framing, ExportRequest{ExportFormat::Auto, kEmojiSide, limits, effect}, displayName(file)).run();
    if (!outcome) {
        reportFailure(describe(outcome));
        return 1;
    }
    const ExportedEmoji& emoji = *outcome.emoji;
    const QString name = deriveEmojiName(lastPathComponent(localPathBytes(url)));
    const std::unique_ptr<QMimeData> data(exportClipboardData(emoji, name));
    if (const auto error = handOverClipboard(*data)) {
        reportFailure(*error);
        return 1;
    }
    return 0;
}

} // namespace

int runRenderCommand(int argc, char** argv) {
    QList<QByteArray> files;
    QByteArray output;
    std::optional<double> zoom;
    std::optional<QPointF> offset;
    int size = kEmojiSide;
    bool copy = false;
    bool autoFrame = false;
    int degrees = 0;
    bool flip = false;
    std::optional<qint64> clipStart;
    std::optional<qint64> clipEnd;
    double clipSpeed = 1.0;
    bool paceNamed = false; // --speed as slow, normal or fast: an effect's pace
    EffectSettings effect;
    bool cutout = false;
    bool help = false;
    ChatTarget service = defaultChatTarget();
    std::optional<long long> maxBytes;
    // Read by hand, so that file names keep their bytes and the parser's app is not needed.
    const auto value = [&](int& i, QByteArray* out) {
        if (i + 1 >= argc)
            return false;
        *out = QByteArray(argv[++i]);
        return true;
    };
    for (int i = 2; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        QByteArray text;
        if (argument == "-o" || argument == "--output") {
            if (!output.isEmpty())
                return badArguments(CommandLineText::tr("-o is given twice"));
            if (!value(i, &output) || output.isEmpty())
                return badArguments(CommandLineText::tr("%1 needs a file or folder").arg(QString::fromLatin1(argument)));
        } else if (argument == "--zoom") {
            if (!value(i, &text) || !(zoom = parseNumber(text)) || !(*zoom > 0) || !std::isfinite(*zoom))
                return badArguments(CommandLineText::tr("--zoom needs a number above 0"));
        } else if (argument == "--offset") {
            const qsizetype comma = value(i, &text) ? text.indexOf(',') : -1;
            const auto x = comma > 0 ? parseNumber(text.left(comma)) : std::nullopt;
            const auto y = comma > 0 ? parseNumber(text.mid(comma + 1)) : std::nullopt;
            if (!x || !y)
                return badArguments(CommandLineText::tr("--offset needs two numbers, X,Y"));
            offset = QPointF(*x, *y);
        } else if (argument == "--size") {
            const auto n = value(i, &text) ? parseNumber(text) : std::nullopt;
            if (!n || *n < 1 || *n > kMaxOutputSize || *n != int(*n))
                return badArguments(CommandLineText::tr("--size needs a whole number from 1 to %1").arg(kMaxOutputSize));
            size = int(*n);
        } else if (argument == "--max-bytes") {
            const auto n = value(i, &text) ? parseNumber(text) : std::nullopt;
            if (!n || *n < 1 || *n > 1e12 || *n != std::floor(*n))
                return badArguments(CommandLineText::tr("--max-bytes needs a whole number of bytes above 0"));
            maxBytes = (long long)*n;
        } else if (argument == "--target") {
            const auto named = value(i, &text) ? chatTargetNamed(QString::fromLocal8Bit(text)) : std::nullopt;
            if (!named)
                return badArguments(CommandLineText::tr("--target needs one of: %1").arg(chatTargetIds()));
            service = *named;
        } else if (argument == "--rotate") {
            const auto n = value(i, &text) ? parseNumber(text) : std::nullopt;
            if (!n || (*n != 0 && *n != 90 && *n != 180 && *n != 270))
                return badArguments(CommandLineText::tr("--rotate needs 90, 180 or 270 (degrees clockwise)"));
            degrees = int(*n);
        } else if (argument == "--flip") {
            flip = true;
        } else if (argument == "--start" || argument == "--end") {
            const auto time = value(i, &text) ? parseClipTime(text) : std::nullopt;
            if (!time)
                return badArguments(CommandLineText::tr("%1 needs a time in the clip, as seconds (1.5) or m:ss.s (0:01.5)")
                                        .arg(QString::fromLatin1(argument)));
            (argument == "--start" ? clipStart : clipEnd) = *time;
        } else if (argument == "--speed") {
            // An effect's pace by name, a clip's by a factor.
            if (!value(i, &text))
                text.clear();
            if (const auto pace = effectSpeedNamed(QString::fromLocal8Bit(text))) {
                effect.speed = *pace;
                paceNamed = true;
                continue;
            }
            // Written as the times are: 1.5, never 0x1 or 1e0.
            const auto n = parseDecimal(text);
            if (!n || !(*n >= kMinClipSpeed && *n <= kMaxClipSpeed))
                return badArguments(CommandLineText::tr("--speed needs slow, normal or fast, or for a clip a number from %1 to %2")
                                        .arg(kMinClipSpeed)
                                        .arg(kMaxClipSpeed));
            clipSpeed = *n;
        } else if (argument == "--effect") {
            const auto named = value(i, &text) ? effectNamed(QString::fromLocal8Bit(text)) : std::nullopt;
            if (!named)
                return badArguments(CommandLineText::tr("--effect needs one of: %1").arg(effectIds()));
            effect.effect = *named;
        } else if (argument == "--caption") {
            if (!value(i, &text))
                return badArguments(CommandLineText::tr("--caption needs a text"));
            effect.caption = QString::fromLocal8Bit(text);
        } else if (argument == "--copy") {
            copy = true;
        } else if (argument == "--auto") {
            autoFrame = true;
        } else if (argument == "--cutout") {
            cutout = true;
        } else if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "--") {
            for (int j = i + 1; j < argc; ++j)
                files << QByteArray(argv[j]);
            break;
        } else if (argument.startsWith('-') && argument != "-") {
            return badArguments(CommandLineText::tr("unknown option %1").arg(QString::fromLocal8Bit(argument)));
        } else if (argument.isEmpty()) {
            return badArguments(CommandLineText::tr("a picture's name is empty"));
        } else {
            files << argument;
        }
    }
    if (help) {
        std::fputs(qPrintable(CommandLineText::tr(
                       "Usage: cropling render FILE -o OUT.png|OUT.gif [--zoom Z] [--offset X,Y | --auto] [--size N]\n"
                       "                                [--rotate 90|180|270] [--flip] [--cutout] [--target T] [--max-bytes B]\n"
                       "       cropling render CLIP -o OUT.gif [--start S] [--end E] [--speed X] [...]\n"
                       "       cropling render STILL -o OUT.gif --effect party|shake|spin|pulse [--speed slow|normal|fast]\n"
                       "                                [--caption TEXT] [...]\n"
                       "       cropling render FILE... -o FOLDER/\n"
                       "       cropling render FILE [--zoom Z] [--offset X,Y] --copy\n\n"
                       "Renders emoji without a window, exactly as the scripted save does: the square centred,\n"
                       "zoom Z (as given), offset X,Y in pixels of the 340-pixel square (clamped), N pixels a side\n"
                       "(128; at most %1). -o - writes the PNG to standard output (not to a terminal). With several\n"
                       "files, or an output ending in /, each emoji goes into the folder under its name, rendered\n"
                       "on all cores; the folder is made if it is missing. A picture is never written over.\n"
                       "--auto frames each picture's face (or its busiest part) instead of --zoom and --offset.\n"
                       "--rotate turns each picture clockwise and --flip swaps its left and right (after the turn),\n"
                       "before it is framed. --cutout makes a plain background (a studio, a wall, a flat colour)\n"
                       "transparent first.\n"
                       "An output ending in .gif is an animated GIF within the caps of the chat service T\n"
                       "(%2; the first is the default): its frames, colours and detail weighed against each\n"
                       "other until it fits. --max-bytes B sets another byte cap. Any other output is a PNG\n"
                       "(of an animation, its first frame). In a folder, an animation is saved as NAME.gif.\n"
                       "A video clip (MP4, MOV, WebM, MKV) is an animation of the part from S to E (seconds, 1.5,\n"
                       "or m:ss.s), played X times as fast (0.5 to 2): by default its first 3 seconds.\n"
                       "--effect makes a looping reaction of a still, or runs over every frame of an animation or\n"
                       "a clip: party colours, a shake, a spin or a pulse (--speed slow, normal or fast);\n"
                       "--caption draws a text at its foot on every frame (a still with a caption alone stays a PNG).\n")
                                 .arg(kMaxOutputSize)
                                 .arg(chatTargetIds())),
                   stdout);
        return 0;
    }
    if (files.isEmpty())
        return badArguments(CommandLineText::tr("render needs a picture"));
    GifLimits limits = gifLimitsOf(service);
    limits.maxBytes = maxBytes.value_or(limits.maxBytes);
    if (clipEnd && *clipEnd <= clipStart.value_or(0))
        return badArguments(CommandLineText::tr("--end needs a time after --start"));
    if (paceNamed && effect.effect == Effect::None)
        return badArguments(CommandLineText::tr("--speed slow, normal or fast needs --effect; a clip's speed is a number from %1 to %2")
                                .arg(kMinClipSpeed)
                                .arg(kMaxClipSpeed));
    const int turn = orientationOf({degrees, flip});
    const FramingRequest framing{zoom, offset, autoFrame, turn, clipStart, clipEnd, clipSpeed, cutout};
    if (copy) {
        if (files.size() != 1)
            return badArguments(CommandLineText::tr("--copy takes one picture"));
        // Everything but a face search, which a copy does not offer.
        FramingRequest copied = framing;
        copied.autoFrame = false;
        return copyOne(argc, argv, files.first(), copied, limits, effect);
    }
    QCoreApplication app(argc, argv);
    installTranslations(app);
    setCommandLineIdentity();
    if (output.isEmpty())
        return badArguments(CommandLineText::tr("render needs -o OUT.png, -o - or -o FOLDER/"));
    // A closed pipe on standard output is a failed write, reported as one, not a silent death.
    ::signal(SIGPIPE, SIG_IGN);
    struct stat info {};
    const bool isFolder = ::stat(output.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    if (output == "-" && files.size() > 1)
        return badArguments(CommandLineText::tr("-o - takes one picture"));
    if (output == "-" && ::isatty(STDOUT_FILENO))
        return badArguments(CommandLineText::tr("-o - would write a PNG to the terminal; redirect it to a file"));
    if (files.size() > 1 && !isFolder && !output.endsWith('/'))
        return badArguments(CommandLineText::tr("several pictures need -o FOLDER/"));
    if (isFolder || output.endsWith('/')) {
        while (output.size() > 1 && output.endsWith('/'))
            output.chop(1);
        if (!isFolder && !QDir().mkpath(QFile::decodeName(output))) {
            reportFailure(saveFailedMessage(CommandLineText::tr("can't make the folder %1").arg(QString::fromLocal8Bit(output))));
            return 1;
        }
        return renderMany(files, output, framing, ExportRequest{ExportFormat::Auto, size, limits, effect});
    }
    // Standard output counts too: "-o - 1<>photo.jpg" would write into the picture.
    struct stat written {};
    const std::optional<FileIdentity> target =
        output == "-" ? (::fstat(STDOUT_FILENO, &written) == 0 && S_ISREG(written.st_mode)
                             ? std::optional(FileIdentity{written.st_dev, written.st_ino})
                             : std::nullopt)
                      : outputId(output, true);
    if (const auto refused = overwritesInput(output, target, files)) {
        reportFailure(*refused);
        return 1;
    }
    // Whether the output was a link when named: one that appears during the render is not followed.
    const AtTarget asNamed = targetAsNamed(output);
    const Rendered rendered = renderFile(files.first(), framing, ExportRequest{formatFor(output), size, limits, effect});
    if (!rendered.failure.isEmpty()) {
        reportFailure(rendered.failure);
        return 1;
    }
    if (!rendered.note.isEmpty())
        reportFailure(rendered.note);
    if (output == "-") {
        if (writeAll(STDOUT_FILENO, rendered.emoji.bytes))
            return 0;
        reportFailure(saveFailedMessage(QStringLiteral("-: ") + QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    if (const auto failed = writeOutput(output, rendered.emoji.bytes, asNamed, files, pictureIds(files))) {
        reportFailure(*failed);
        return 1;
    }
    return 0;
}

} // namespace cropling
