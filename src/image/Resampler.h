#pragma once

#include <vips/vips8>

namespace cropling {

// Resamples an 8-bit RGB or RGBA picture to exactly outWidth x outHeight, each axis scaled on its
// own so that the picture's outer edges land on the output's outer edges (pixel centres at
// (i + 0.5) x scale). Lanczos-3 in both directions, its support widened by the reduction factor,
// computed on premultiplied alpha so that transparent grounds leave no dark fringe. The result has
// the input's bands and is 8-bit.
vips::VImage resampleTo(const vips::VImage& picture, int outWidth, int outHeight);

} // namespace cropling
