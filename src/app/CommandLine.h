#pragma once

// The program's arguments. Without a command they are pictures to open, each in a window of its
// own; `render` writes emoji without any window. Both answer --help; bad arguments get one line on
// stderr and exit status 2.

#include <QCoreApplication>
#include <QList>
#include <QUrl>

#include <optional>

namespace cropling {

// The translation context of the command line's texts, shared by the launch and the render command.
struct CommandLineText {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

struct Launch {
    QList<QUrl> pictures;        // to open, one window each
    std::optional<int> exitCode; // set when the arguments were answered here (help, version, errors)
};

// Reads the arguments of a window launch: paths or file:// URLs, --help, --version.
Launch parseLaunch(int argc, char** argv);

// Whether the arguments ask for the render command.
bool isRenderCommand(int argc, char** argv);

// The render command: cropling render FILE... -o OUT [--zoom Z] [--offset X,Y] [--size N] [--copy].
// Returns the exit status. (RenderCommand.cpp)
int runRenderCommand(int argc, char** argv);

// Shared by both: a bad argument's one line on stderr, giving exit status 2; the name and version
// Qt reports.
int badArguments(const QString& reason);
void setCommandLineIdentity();

} // namespace cropling
