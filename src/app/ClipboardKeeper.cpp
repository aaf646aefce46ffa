#include "ClipboardKeeper.h"

#include "io/FileWriting.h"
#include "model/ClipboardData.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace cropling {

namespace {

// The translation context of these texts.
struct ClipboardKeeperText {
    Q_DECLARE_TR_FUNCTIONS(ClipboardKeeper)
};

// More than any emoji and its file location; a keeper fed more refuses it.
constexpr qsizetype kMaxHandOver = 64 << 20;
constexpr char kOwned = '1';

// What this process last handed over, so that quitting does not hand it over again.
const QMimeData* handedOver = nullptr;

// Standard input up to the limit; nothing for more, or for a read error.
std::optional<QByteArray> readInput() {
    QByteArray bytes;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n == 0)
            return bytes;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + n > kMaxHandOver)
            return std::nullopt;
        bytes.append(chunk, n);
    }
}

// Starts the keeper as a grandchild, so it belongs to no one once this process ends: its standard
// input reads `input`, its standard output writes `status`, and it keeps no other descriptor of
// ours, nor our working directory. Only calls that are safe between fork and exec happen there.
bool startKeeper(const QByteArray& program, int input, int status) {
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::fork() != 0)
            ::_exit(0);
        ::setsid();
        const int null = ::open("/dev/null", O_WRONLY);
        if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(status, STDOUT_FILENO) < 0 || ::dup2(null, STDERR_FILENO) < 0)
            ::_exit(127);
        ::close_range(3, ~0U, 0);
        if (::chdir("/") != 0)
            ::_exit(127);
        const char* argv[] = {program.constData(), kKeepClipboardArgument, nullptr};
        ::execv(program.constData(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int ignored = 0;
    ::waitpid(child, &ignored, 0);
    return true;
}

} // namespace

std::optional<QString> handOverClipboard(const QMimeData& data) {
    // Only X11 lets a program without a window own the clipboard; under pure Wayland nobody keeps it.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return ClipboardKeeperText::tr("Keeping the clipboard after Cropling ends needs X11 or XWayland (DISPLAY is unset).");
    const QByteArray handOver = serialiseClipboardData(data);
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    int toKeeper[2], fromKeeper[2];
    if (::pipe2(toKeeper, O_CLOEXEC) != 0)
        return ClipboardKeeperText::tr("Couldn't pass the clipboard on.");
    if (::pipe2(fromKeeper, O_CLOEXEC) != 0) {
        ::close(toKeeper[0]);
        ::close(toKeeper[1]);
        return ClipboardKeeperText::tr("Couldn't pass the clipboard on.");
    }
    const bool started = startKeeper(program, toKeeper[0], fromKeeper[1]);
    ::close(toKeeper[0]);
    ::close(fromKeeper[1]);
    // A keeper that died early must not kill this process with SIGPIPE.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const bool sent = started && writeAll(toKeeper[1], handOver);
    ::close(toKeeper[1]);
    std::signal(SIGPIPE, previous);

    // The keeper answers once it owns the clipboard; silence means it never did.
    char answer = 0;
    pollfd wait{fromKeeper[0], POLLIN, 0};
    const bool answered = sent && ::poll(&wait, 1, 10000) == 1 && ::read(fromKeeper[0], &answer, 1) == 1;
    ::close(fromKeeper[0]);
    if (!started)
        return ClipboardKeeperText::tr("Couldn't start the clipboard keeper.");
    if (!answered || answer != kOwned)
        return ClipboardKeeperText::tr("The clipboard keeper did not take the clipboard.");
    handedOver = &data;
    return std::nullopt;
}

void keepClipboardAfterQuit() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !data || data == handedOver ||
        !clipboard->ownsClipboard() || !(data->hasFormat(QStringLiteral("image/png")) || data->hasFormat(QStringLiteral("image/gif"))))
        return;
    handOverClipboard(*data);
}

int keepClipboard(int argc, char** argv) {
    if (::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "cropling: %s takes the clipboard from Cropling itself, not from a terminal\n",
                     kKeepClipboardArgument);
        return 2;
    }
    const auto input = readInput();
    QMimeData* data = input ? deserialiseClipboardData(*input) : nullptr;
    if (!data)
        return 1;
    // Only X11 lets a program without a window own the clipboard; under Wayland its X11 bridge does.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "cropling: keeping the clipboard needs an X11 display (DISPLAY is unset)\n");
        delete data;
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data);
    if (!clipboard->ownsClipboard())
        return 1;
    const QByteArray owned(1, kOwned);
    (void)writeAll(STDOUT_FILENO, owned);
    // The parent has its answer; nothing more is said.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, STDOUT_FILENO);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    return app.exec();
}

} // namespace cropling
