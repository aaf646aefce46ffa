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

// A picture named on the command line or in the environment: a file:// URL as given, anything
// else a path taken as its bytes ("file:x.jpg" is a file of that name).
QUrl urlFromArgument(const QByteArray& argument);

// The last component of a path ("/a/b/c.png" -> "c.png"; trailing slashes are ignored).
QByteArray lastPathComponent(const QByteArray& path);

// A file name for display: invalid bytes show as U+FFFD.
QString displayName(const QByteArray& fileName);

} // namespace cropling
