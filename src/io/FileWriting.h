#pragma once

// Writing exported files so that nothing half-written is ever left behind.

#include <QByteArray>
#include <QString>

namespace cropling {

// Writes through a temporary file in the same folder and renames it over the target, so a failed
// write (disk full, no permission, missing folder) leaves any existing file untouched and no
// partial PNG. A replaced file keeps its permissions and, where the process may, its owner; a link
// is followed to the file it names. What is not a regular file (a FIFO, a terminal, /dev/stdout)
// is written in place, never replaced, and so is a writable file in a folder that takes no new
// files. The path is bytes and may be relative to the working directory. On failure returns false
// and, when asked, says why in words a person can read.
// Writes all of the data to a descriptor, through short writes and interruptions; false on an error.
[[nodiscard]] bool writeAll(int fd, const QByteArray& data);

[[nodiscard]] bool writeFileAtomically(const QByteArray& path, const QByteArray& data, QString* error = nullptr);

} // namespace cropling
