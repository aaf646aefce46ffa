#pragma once

// Writes RGBA pixels as a PNG with zlib: each row filtered by whichever of the five filters leaves
// the smallest sum of differences (the usual heuristic), then deflated.
// No metadata is written. (libspng's own encoder took some 10 ms for one 128 x 128 square, ten
// times as long.)

#include "core/Resample.h"

#include <QByteArray>

#include <optional>

namespace cropling {

std::optional<QByteArray> writePng(const PixelRows& rgba);

} // namespace cropling
