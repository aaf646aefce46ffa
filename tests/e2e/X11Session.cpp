#include "X11Session.h"

#include "Fixtures.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

namespace cropling::e2e {

ToolResult runTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
                   int timeoutMs, const QString& workingDirectory) {
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForStarted(5000))
        return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        ADD_FAILURE() << program.toStdString() << " did not finish within " << timeoutMs << " ms";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString appPath() { return QStringLiteral(CROPLING_BINARY); }

QProcessEnvironment appEnvironment(const QList<std::pair<QString, QString>>& variables) {
    QProcessEnvironment env;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"PATH", "HOME", "DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "LANG", "TMPDIR"})
        if (system.contains(QString::fromLatin1(name)))
            env.insert(QString::fromLatin1(name), system.value(QString::fromLatin1(name)));
    // Recently used files go to a list of the tests' own.
    env.insert(QStringLiteral("XDG_DATA_HOME"), scratchFolder() + QStringLiteral("/data"));
    for (const auto& [name, value] : variables)
        env.insert(name, value);
    return env;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

RunningApp::RunningApp(const QStringList& arguments, const QProcessEnvironment& env) {
    process_.setProcessEnvironment(env);
    process_.start(appPath(), arguments);
    EXPECT_TRUE(process_.waitForStarted(5000));
    const qint64 pid = process_.processId();
    const bool found = waitFor([&] {
        const ToolResult r = runTool(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                      QString::number(pid), QStringLiteral("--name"), QStringLiteral("Cropling$")});
        window_ = QString::fromLatin1(r.out).split(u'\n', Qt::SkipEmptyParts).value(0);
        return !window_.isEmpty();
    });
    EXPECT_TRUE(found) << "no Cropling window appeared";
    QThread::msleep(300); // let the first paint land
}

int RunningApp::visibleWindows() const {
    const ToolResult r = runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                            QStringLiteral("--pid"), QString::number(process_.processId()),
                                                            QStringLiteral("--name"), QStringLiteral("Cropling")});
    return int(QString::fromLatin1(r.out).split(u'\n', Qt::SkipEmptyParts).size());
}

SilentClipboardOwner::SilentClipboardOwner() {
    connection_ = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
    xcb_set_selection_owner(connection_, window, atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE), XCB_CURRENT_TIME);
    std::free(atom);
    // Round trip, so the ownership is in place before the test goes on; no event is read after.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

SilentClipboardOwner::~SilentClipboardOwner() { xcb_disconnect(connection_); }

RunningApp::~RunningApp() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

bool RunningApp::waitForExit(int timeoutMs) {
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
}

QImage RunningApp::screenshot() const {
    const ToolResult r = runTool(QStringLiteral("import"), {QStringLiteral("-window"), window_, QStringLiteral("png:-")});
    return QImage::fromData(r.out, "PNG").convertToFormat(QImage::Format_RGB32);
}

QPoint RunningApp::windowOrigin() const {
    const ToolResult r = runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window_});
    int x = 0, y = 0;
    for (const QByteArray& line : r.out.split('\n')) {
        if (line.startsWith("X="))
            x = line.mid(2).toInt();
        if (line.startsWith("Y="))
            y = line.mid(2).toInt();
    }
    return {x, y};
}

void RunningApp::focus() const {
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window_});
}

void RunningApp::key(const QString& combination) const {
    focus();
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), combination});
    QThread::msleep(300);
}

QByteArray clipboard(const QString& target) {
    return runTool(QStringLiteral("xclip"),
                   {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"), QStringLiteral("-t"), target},
                   {}, 5000)
        .out;
}

void offerOnClipboard(const QString& file, const QString& target) {
    // xclip stays in the background serving the clipboard until someone else takes it.
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                          target, QStringLiteral("-i"), file});
    xclip.waitForFinished(5000);
    EXPECT_TRUE(waitFor([&] { return clipboard(QStringLiteral("TARGETS")).contains(target.toUtf8()); }, 5000));
}

} // namespace cropling::e2e
