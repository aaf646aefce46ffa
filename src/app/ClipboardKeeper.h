#pragma once

// On X11 the clipboard is served by the program that set it and vanishes when that program exits.
// A scripted copy therefore hands the clipboard to a small background copy of this program, which
// keeps serving it until another program takes the clipboard over, as clipboard tools do.

#include <QString>

#include <optional>

class QMimeData;

namespace cropling {

// The argument that starts the keeper; the next argument is the file holding the data.
inline constexpr const char* kKeepClipboardArgument = "--keep-clipboard";

// Starts the keeper with the given data and returns once it owns the clipboard; the reason on failure.
std::optional<QString> handOverClipboard(const QMimeData& data);

// The keeper's own main: takes the data from the file, deletes the file once it owns the
// clipboard, and returns when the clipboard has been taken over.
int keepClipboard(int argc, char** argv);

} // namespace cropling
