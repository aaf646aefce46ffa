#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// Reads a whole regular file (after following links). Folders, FIFOs, devices, sockets, link loops
// and missing files give nothing at once; nothing here can block on a reader that never ends.
std::optional<QByteArray> readRegularFile(const QByteArray& path);

// Opens a regular file (after following links) for reading, refusing what readRegularFile refuses
// without blocking: the descriptor (the caller closes it), or -1 with the reason in `error` as an
// errno value (EINVAL for what is not a regular file, EFBIG for a file above the limit).
int openRegularFile(const QByteArray& path, int* error);

// Files above this size are not pictures this program can use; refused before reading.
inline constexpr long long kMaxFileBytes = 512LL << 20;

} // namespace cropling
