// The resampling filter on plain pixels: premultiplied filtering keeps a flat colour flat up to
// its edges, where the filter's overshoot must not brighten or darken it.

#include "core/Resample.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace cropling;

TEST(Resample, AFlatColourOnATransparentGroundKeepsItsColourToTheEdge) {
    const int side = 400;
    const std::uint8_t colour[3] = {48, 128, 192};
    PixelRows disk{side, side, 4, std::vector<std::uint8_t>(size_t(side) * side * 4)};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int dx = x - side / 2, dy = y - side / 2;
            if (dx * dx + dy * dy < 150 * 150) {
                std::uint8_t* p = disk.row(y) + size_t(x) * 4;
                std::copy(colour, colour + 3, p);
                p[3] = 255;
            }
        }
    }
    const PixelRows emoji = resampleWindow(disk.view(), QPoint(0, 0), QRectF(0, 0, side, side), 128, 128);
    int shown = 0;
    for (int y = 0; y < emoji.height; ++y) {
        for (int x = 0; x < emoji.width; ++x) {
            const std::uint8_t* p = emoji.row(y) + size_t(x) * 4;
            if (p[3] < 16) // too faint for its colour to be more than rounding
                continue;
            ++shown;
            for (int b = 0; b < 3; ++b)
                ASSERT_LE(std::abs(int(p[b]) - int(colour[b])), 1) << "at " << x << "," << y << " alpha " << int(p[3]);
        }
    }
    EXPECT_GT(shown, 128 * 128 / 3);
}
