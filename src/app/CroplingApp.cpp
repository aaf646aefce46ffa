#include "CroplingApp.h"

#include "app/Automation.h"
#include "app/CroplingWindow.h"
#include "export/ClipboardKeeper.h"
#include "app/ContentView.h"
#include "intake/LocalPath.h"
#include "intake/VipsRuntime.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace cropling {

namespace {

// A scripted run speaks only through its exit status and its one line of reason; Qt's own notes
// about the platform would bury that line.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        std::fprintf(stderr, "cropling: %s\n", message.toLocal8Bit().constData());
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int CroplingApp::run(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kKeepClipboardArgument) == 0)
        return keepClipboard(argc, argv);

    // A scripted save needs no screen; anything else does, and says so in one line rather than
    // letting Qt abort.
    const AutomationEnvironment env = AutomationEnvironment::fromProcess();
    if (env.isBatch())
        qInstallMessageHandler(quietMessages);
    if (!hasDisplay()) {
        if (env.isBatch() && !env.copy) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        } else {
            std::fprintf(stderr, "cropling: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
            return 1;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cropling"));
    QApplication::setDesktopFileName(QStringLiteral("cropling"));
    ensureVipsStarted();

    CroplingApp cropling;
    CroplingWindow* first = cropling.newWindow();
    // Come to the front even when started from a terminal that keeps the focus.
    QTimer::singleShot(0, first, [first] {
        first->raise();
        first->activateWindow();
    });
    // "cropling photo.jpg" opens the photo, as the file chooser would.
    const QStringList arguments = QApplication::arguments();
    if (argc >= 2 && arguments.size() >= 2 && !arguments.last().startsWith(u'-'))
        first->editor()->load(urlFromLocalPath(QByteArray(argv[argc - 1])));
    return app.exec();
}

CroplingWindow* CroplingApp::newWindow() {
    auto* window = new CroplingWindow;
    connect(window, &CroplingWindow::newWindowRequested, this, &CroplingApp::newWindow);
    window->show();
    return window;
}

} // namespace cropling
