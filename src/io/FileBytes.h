#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// Opens a regular file (after following links) for reading, without blocking: folders, FIFOs,
// devices, sockets, link loops and missing files are refused at once. The descriptor (the caller
// closes it), or -1 with the reason in `error` as an errno value (EINVAL for what is not a regular
// file, EFBIG for a file above `maxBytes`).
int openRegularFile(const QByteArray& path, int* error, long long maxBytes = 512LL << 20);

// Files above this size are not pictures this program can use; refused before reading.
inline constexpr long long kMaxFileBytes = 512LL << 20;
// A video clip is read as it is decoded, never whole: an hour of it may be several gigabytes.
inline constexpr long long kMaxClipFileBytes = 64LL << 30;

} // namespace cropling
