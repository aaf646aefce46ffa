#pragma once

// Marks painted over a cut-out picture to say what must stay and what must go: strokes of a round
// brush, kept in fractions of the picture's width and height so they hold at any resolution.

#include <cstdint>
#include <vector>

namespace cropling {

struct CutoutMark {
    bool keep = true;
    // The stroke's path, (x, y) as fractions of the picture's width and height.
    std::vector<std::pair<double, double>> points;
    // The brush's radius as a fraction of the picture's shorter side.
    double radius = 0.02;
};

// What each pixel of a picture of `width` x `height` is said to be by the marks, the later mark
// over the earlier: `keepValue` or `removeValue` where a stroke passes, unchanged elsewhere.
void paintMarks(const std::vector<CutoutMark>& marks, int width, int height, std::uint8_t* labels, std::uint8_t keepValue,
                std::uint8_t removeValue);

} // namespace cropling
