#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// Opens a regular file (after following links) for reading, without blocking: folders, FIFOs,
// devices, sockets, link loops and missing files are refused at once. The descriptor (the caller
// closes it), or -1 with the reason in `error` as an errno value (EINVAL for what is not a regular
// file, EFBIG for a file above the limit).
int openRegularFile(const QByteArray& path, int* error);

// Files above this size are not pictures this program can use; refused before reading.
inline constexpr long long kMaxFileBytes = 512LL << 20;

} // namespace cropling
