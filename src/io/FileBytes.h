#pragma once

#include <QByteArray>

#include <optional>

namespace cropling {

// Reads a whole regular file (after following links). Folders, FIFOs, devices, sockets, link loops
// and missing files give nothing at once; nothing here can block on a reader that never ends.
std::optional<QByteArray> readRegularFile(const QByteArray& path);

// Files above this size are not pictures this program can use; refused before reading.
inline constexpr long long kMaxFileBytes = 1LL << 30;

} // namespace cropling
