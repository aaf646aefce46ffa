#pragma once

// On X11 the clipboard is served by the program that set it and vanishes when that program exits.
// A scripted copy, and a window's copy when the application quits, therefore hand the clipboard to
// a small background copy of this program, which keeps serving it until another program takes the
// clipboard over, as clipboard tools do.

#include <QString>

#include <optional>

class QMimeData;

namespace cropling {

// The argument that starts the keeper. It takes its data only from its parent, through a pipe on
// its standard input, never from a path.
inline constexpr const char* kKeepClipboardArgument = "--keep-clipboard";

// Starts the keeper with the given data and returns once it owns the clipboard; the reason on
// failure.
std::optional<QString> handOverClipboard(const QMimeData& data);

// When this process quits owning an emoji on the clipboard, a keeper takes it over, so a copy
// outlives the application as people expect. Only on X11, where the clipboard would vanish.
void keepClipboardAfterQuit();

// The keeper's own main: takes the data from standard input, says on standard output that it owns
// the clipboard, and returns when the clipboard has been taken over.
int keepClipboard(int argc, char** argv);

} // namespace cropling
