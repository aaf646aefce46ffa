#pragma once

// Drives the real program on a real X server with real clients: xdotool for the pointer and keys,
// xclip for the clipboard, ImageMagick's import for screenshots.

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct xcb_connection_t;

namespace cropling::e2e {

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion (or kills it after the timeout).
ToolResult runTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {},
                   int timeoutMs = 20000, const QString& workingDirectory = {});

// The program under test, with a clean environment plus the given variables.
QProcessEnvironment appEnvironment(const QList<std::pair<QString, QString>>& variables = {});
QString appPath();

// A running interactive instance and its window.
class RunningApp {
public:
    explicit RunningApp(const QStringList& arguments = {}, const QProcessEnvironment& env = appEnvironment());
    ~RunningApp();

    QString windowId() const { return window_; }
    QImage screenshot() const;
    QPoint windowOrigin() const; // on the root window
    void focus() const;
    void key(const QString& combination) const;
    // How many of its windows are on the screen.
    int visibleWindows() const;
    // True once the program has ended by itself within the time.
    bool waitForExit(int timeoutMs = 10000);

private:
    QProcess process_;
    QString window_;
};

// The clipboard as other programs see it.
QByteArray clipboard(const QString& target);
void offerOnClipboard(const QString& file, const QString& target);

// Owns the clipboard and never answers a request for it, as a hung program would.
class SilentClipboardOwner {
public:
    SilentClipboardOwner();
    ~SilentClipboardOwner();

private:
    xcb_connection_t* connection_ = nullptr;
};

// Waits until a condition holds, polling; false after the timeout.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

} // namespace cropling::e2e
