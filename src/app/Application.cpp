#include "Application.h"

#include "app/ClipboardKeeper.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Translations.h"
#include "image/VipsLayer.h"
#include "io/TemporaryFiles.h"
#include "io/LocalPath.h"
#include "image/DecoderSession.h"
#include "model/EmojiEditor.h"
#include "model/ScriptedRun.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

namespace cropling {

namespace {

// A scripted run speaks only through its exit status and its one line of reason; Qt's own notes
// about the platform would bury that line.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        std::fprintf(stderr, "cropling: %s\n", message.toLocal8Bit().constData());
}

// Picks the platform before Qt starts: Qt aborts when it cannot reach its display, and a scripted
// save has no use for one. Returns a reason when the run cannot go on.
std::optional<QString> choosePlatform(const ScriptedRunEnvironment& env) {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return std::nullopt;
    if (env.isBatch() && !env.copy) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::nullopt;
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::nullopt;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return Application::tr("no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset)");
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable)
        return Application::tr("cannot connect to the display %1").arg(qEnvironmentVariable("DISPLAY"));
    return std::nullopt;
}

} // namespace

int Application::run(int argc, char** argv) {
    // A write cut short by a file-size limit then fails with EFBIG, which a save reports, instead
    // of killing the process halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc >= 2 && std::strcmp(argv[1], kKeepClipboardArgument) == 0)
        return keepClipboard(argc, argv);
    // What a run killed while writing left behind (on a file system without unnamed files).
    removeUnfinishedTemporaries();
    if (isRenderCommand(argc, argv))
        return runRenderCommand(argc, argv);

    const Launch launch = parseLaunch(argc, argv);
    if (launch.exitCode)
        return *launch.exitCode;

    // A scripted save needs no screen; anything else does, and says so in one line rather than
    // letting Qt abort.
    const ScriptedRunEnvironment env = ScriptedRunEnvironment::fromProcess();
    if (env.isBatch())
        qInstallMessageHandler(quietMessages);
    if (const auto problem = choosePlatform(env)) {
        std::fprintf(stderr, "cropling: %s\n", problem->toLocal8Bit().constData());
        return 1;
    }

    // A scripted save renders once and quits: it needs no window, so it starts no GUI at all.
    if (env.isBatch() && !env.copy) {
        QCoreApplication app(argc, argv);
        installTranslations(app);
        EmojiEditor editor;
        const ScriptedRunOutcome outcome = runScripted(editor, env);
        reportFailure(outcome);
        return outcome.exitCode();
    }

    QApplication app(argc, argv);
    installTranslations(app);
    QApplication::setApplicationName(QStringLiteral("Cropling"));
    QApplication::setOrganizationName(QStringLiteral("Cropling"));
    QApplication::setApplicationVersion(QStringLiteral(CROPLING_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.cropling.Cropling"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.cropling.Cropling"),
                                                 QIcon(QStringLiteral(":/app/org.cropling.Cropling.svg"))));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &keepClipboardAfterQuit);
    // Quitting ends at once: no worker waits on a helper still decoding.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &DecoderSession::cancelAll);
    // The window decodes and draws in this process: the libvips part is loaded now, not on the
    // first picture. Without it no picture could be shown, which the loader has said on stderr.
    if (!VipsLayer::get())
        return 1;

    Application cropling;
    MainWindow* first = cropling.newWindow();
    // Raised and activated even when started from a terminal that keeps the focus.
    QTimer::singleShot(0, first, [first] {
        first->raise();
        first->activateWindow();
    });
    // "cropling a.jpg b.png" opens each picture, as the file chooser would, a window each.
    for (qsizetype i = 0; i < launch.pictures.size(); ++i)
        (i == 0 ? first : cropling.newWindow())->editor()->load(launch.pictures[i]);
    return app.exec();
}

MainWindow* Application::newWindow() {
    auto* window = new MainWindow;
    connect(window, &MainWindow::newWindowRequested, this, &Application::newWindow);
    window->show();
    return window;
}

} // namespace cropling
