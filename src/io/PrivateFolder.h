#pragma once

// The folder where copies leave their temporary PNGs, closed to every other user.

#include <QByteArray>
#include <QString>

#include <optional>

namespace cropling {

// "Cropling" inside $XDG_RUNTIME_DIR, or inside a per-user folder of the temp dir made with mode
// 0700. Nothing when the folder, or the per-user folder above it, is not a real directory owned by
// this user and closed to others.
std::optional<QByteArray> privateExportFolder();

// Whether a path is a directory (not a link) owned by this user that nobody else may write to.
bool isPrivateFolder(const QByteArray& path);

// The temporary file for a copy under this export name, with the suffix (".png", ".gif") added;
// nothing for a name that would leave the folder (a "/" or NUL in it).
std::optional<QByteArray> temporaryExportPath(const QByteArray& folder, const QString& exportName,
                                              const QByteArray& suffix = ".png");

} // namespace cropling
