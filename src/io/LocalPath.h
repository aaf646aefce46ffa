#pragma once

// File locations travel as QUrl, but a Linux path is a byte string that need not be valid UTF-8.
// These helpers carry the exact bytes through percent-encoding so that such a file still opens.

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace cropling {

// The path's bytes of a file URL; empty for anything that is not a local file.
QByteArray localPathBytes(const QUrl& url);

// A file URL for a path given as bytes. A relative path resolves against the working directory;
// nothing else is expanded.
QUrl urlFromLocalPath(const QByteArray& path);

// The last component of a path ("/a/b/c.png" -> "c.png"; trailing slashes are ignored).
QByteArray lastPathComponent(const QByteArray& path);

// A file name for display: invalid bytes show as U+FFFD.
QString displayName(const QByteArray& fileName);

} // namespace cropling
