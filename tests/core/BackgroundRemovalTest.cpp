#include "core/BackgroundRemoval.h"

#include <gtest/gtest.h>

#include <random>

using namespace cropling;

namespace {

// A busy subject on a wide picture, with bands of flat blue ground `band` pixels deep along the
// top and both sides. The subject meets the bottom edge in blues scattered about the ground's, too
// far from it to be ground but not so far that the border disagrees.
PixelRows bandedPicture(int band) {
    std::mt19937 random(11);
    PixelRows picture{1000, 100, 3, std::vector<std::uint8_t>(1000 * 100 * 3)};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const bool ground = y < band || x < band || x >= picture.width - band;
            const bool foot = y >= picture.height - 2;
            std::uint8_t* p = picture.row(y) + x * 3;
            const int base[3] = {60, 110, 200};
            for (int c = 0; c < 3; ++c)
                p[c] = std::uint8_t(ground ? base[c] : foot ? base[c] - 40 + int(random() % 81) : int(random() & 255));
        }
    }
    return picture;
}

} // namespace

TEST(BackgroundRemoval, AlmostNothingToRemoveIsNoBackgroundButAMarginIs) {
    // Bands of 2 pixels are under 3 % of the picture: removing them would leave almost
    // everything, so there is no background to speak of. Bands of 8 are one.
    EXPECT_FALSE(findForeground(bandedPicture(2)));
    const auto margin = findForeground(bandedPicture(8));
    ASSERT_TRUE(margin);
    EXPECT_EQ(margin->alpha[size_t(50) * 1000 + 500], 255);
    EXPECT_EQ(margin->alpha[size_t(1) * 1000 + 500], 0);
}
