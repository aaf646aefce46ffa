#pragma once

// Finding a plain background to remove: a studio backdrop, a wall, a sheet of paper, a flat colour.
// The background is modelled from the picture's border as a colour that may change evenly across
// it (a gradient); everything that matches it and is connected to the border goes, and so do
// enclosed regions that match it closely (a ring's hole, the gap under an arm). The edge between
// is soft. A picture whose border does not agree on one such colour has no plain background, and
// nothing is removed.

#include "core/Resample.h"

#include <optional>
#include <vector>

namespace cropling {

struct Foreground {
    // How much of each pixel is the subject: 0 (background) to 255, soft at the edge.
    std::vector<std::uint8_t> alpha;
    int width = 0;
    int height = 0;
    // The background's colour at (x, y), as fractions of the width and height across the picture:
    // plane[c] + plane[3 + c] * x + plane[6 + c] * y for channel c.
    double plane[9] = {};
};

// The subject of an RGB or RGBA picture (best a reduction of a few hundred thousand pixels);
// nothing when the border shows no plain background, or when removing it would leave almost
// nothing or almost everything.
std::optional<Foreground> findForeground(const PixelRows& picture);

// A pixel's colour with the background's share taken out, for an edge pixel of partial `alpha`
// over the background colour `background`: what is left is the subject's own colour, without a
// halo of the old background.
void decontaminate(std::uint8_t* rgb, const double background[3], int alpha);

} // namespace cropling
