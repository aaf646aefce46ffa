#pragma once

// Writing exported files so that nothing half-written is ever left behind.

#include <QByteArray>
#include <QString>

#include <optional>

namespace cropling {

// Writes through a temporary file in the same folder and renames it over the target, so a failed
// write (disk full, no permission, missing folder) leaves any existing file untouched and no
// partial PNG. The path is bytes and may be relative to the working directory. Returns a readable
// reason on failure.
std::optional<QString> writeFileAtomically(const QByteArray& path, const QByteArray& data);

// The private folder for the clipboard's temporary PNGs: "Cropling" inside $XDG_RUNTIME_DIR, or
// inside a per-user folder of the temp dir made with mode 0700. Nothing when the folder, or the
// per-user folder above it, is not a real directory owned by this user and closed to others.
std::optional<QByteArray> privateExportFolder();

// Whether a path is a directory (not a link) owned by this user that nobody else may write to.
bool isPrivateFolder(const QByteArray& path);

// The temporary file for a copy under this export name; nothing for a name that would leave the
// folder (a "/" or NUL in it, or "." and "..").
std::optional<QByteArray> temporaryExportPath(const QByteArray& folder, const QString& exportFileName);

} // namespace cropling
