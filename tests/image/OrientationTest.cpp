#include "PictureFixtures.h"

#include "core/Orientation.h"
#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

// 90 x 60 upright: red in the top-left corner, green top-right, blue bottom-left, grey elsewhere.
int corners(int x, int y, int b) {
    const bool left = x < 20, top = y < 20, right = x >= 70, bottom = y >= 40;
    if (left && top)
        return b == 0 ? 255 : 0;
    if (right && top)
        return b == 1 ? 255 : 0;
    if (left && bottom)
        return b == 2 ? 255 : 0;
    return 128;
}

// The picture as a camera would store it for each orientation tag: turned so that the tag turns it
// back. Orientations 5 and 7 are the two mirrored quarter turns, the easiest pair to swap.
VImage storedFor(const VImage& upright, int orientation) {
    switch (orientation) {
    case 2: return upright.flip(VIPS_DIRECTION_HORIZONTAL);
    case 3: return upright.rot(VIPS_ANGLE_D180);
    case 4: return upright.flip(VIPS_DIRECTION_VERTICAL);
    case 5: return upright.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_HORIZONTAL); // transposed
    case 6: return upright.rot(VIPS_ANGLE_D270);
    case 7: return upright.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_VERTICAL); // transversed
    case 8: return upright.rot(VIPS_ANGLE_D90);
    default: return upright;
    }
}

// Which of the marks a pixel shows (0 red, 1 green, 2 blue), or -1 for the grey.
int markAt(const VImage& image, int x, int y) {
    const std::vector<double> v = image.getpoint(x, y);
    for (int b = 0; b < 3; ++b) {
        if (v[size_t(b)] > 200 && v[size_t((b + 1) % 3)] < 60 && v[size_t((b + 2) % 3)] < 60)
            return b;
    }
    return -1;
}

// The picture turned by hand as a user's turn says: clockwise, then flipped left to right.
VImage turnedByHand(const VImage& upright, int turn) {
    const UprightTurn how = uprightTurn(turn);
    const VipsAngle angles[] = {VIPS_ANGLE_D0, VIPS_ANGLE_D90, VIPS_ANGLE_D180, VIPS_ANGLE_D270};
    const VImage turned = upright.rot(angles[how.degrees / 90]);
    return how.flip ? turned.flip(VIPS_DIRECTION_HORIZONTAL) : turned;
}

int largestDifference(const Rgba& a, const Rgba& b) {
    int largest = a.data.size() == b.data.size() ? 0 : 255;
    for (size_t i = 0; i < std::min(a.data.size(), b.data.size()); ++i)
        largest = std::max(largest, std::abs(int(a.data[i]) - int(b.data[i])));
    return largest;
}

} // namespace

TEST(Orientation, EveryTagTurnsTheStoredPictureUprightInBothDecodes) {
    const VImage upright = makeImage(90, 60, 3, corners);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        VImage stored = storedFor(upright, orientation).copy();
        stored.set("orientation", orientation);
        // JPEG, whose files carry the tag (the marks are large enough to survive its compression).
        const QByteArray jpeg = encode(stored, ".jpg", VImage::option()->set("Q", 100));
        const auto picture = Picture::decode(jpeg);
        ASSERT_TRUE(picture) << orientation;
        EXPECT_EQ(picture->fullSize(), QSize(90, 60)) << orientation;
        const VImage& pixels = picture->pixels();
        EXPECT_EQ(markAt(pixels, 5, 5), 0) << orientation;
        EXPECT_EQ(markAt(pixels, 85, 5), 1) << orientation;
        EXPECT_EQ(markAt(pixels, 5, 55), 2) << orientation;

        // The render that decodes only what it shows turns its square the same way.
        const auto once = renderEmojiPNG(Picture::openForRender(jpeg).get(), {1, {-15, 0}}, 64);
        const auto whole = renderEmojiPNG(picture.get(), {1, {-15, 0}}, 64);
        ASSERT_TRUE(once && whole) << orientation;
        EXPECT_LE(largestDifference(decodePng(*once), decodePng(*whole)), 2) << orientation;
    }
}

// A user's turn comes after the file's own tag, and every render path makes it: pixels decoded
// here, a file opened for one render, and both helpers as a save asks them (the direct helper
// keeps a JPEG, the libvips helper a TIFF). Each gives what a render of the picture turned by
// hand beforehand gives, with the square framed the same way.
TEST(Orientation, ATurnedRenderEqualsTheRenderOfThePictureTurnedBeforehandOnEveryPath) {
    const VImage upright = makeImage(90, 60, 3, corners);
    const Framing framing{1.4, {12, -7}};
    for (int tag : {1, 6, 7}) {
        VImage stored = storedFor(upright, tag).copy();
        stored.set("orientation", tag);
        const QByteArray jpeg = encode(stored, ".jpg", VImage::option()->set("Q", 100));
        const QByteArray tiff = encode(stored, ".tif");
        const auto decoded = Picture::decode(jpeg);
        ASSERT_TRUE(decoded);
        for (int turn = 1; turn <= 8; ++turn) {
            // From the decoded JPEG for the JPEG, so that only the turn is compared, not what
            // compression lost; from the picture itself for the lossless TIFF.
            const auto reference = [&](const VImage& shown) {
                const QByteArray byHand = encode(turnedByHand(shown, turn), ".png", VImage::option()->set("strip", true));
                const auto png = renderEmojiPNG(Picture::decode(byHand).get(), framing, 64);
                return png ? decodePng(*png) : Rgba{};
            };
            const Rgba fromJpeg = reference(decoded->pixels());
            const Rgba fromTiff = reference(upright);
            const auto check = [&](const PicturePtr& picture, const char* path, const Rgba& want) {
                ASSERT_TRUE(picture) << path;
                EXPECT_EQ(picture->fullSize(), uprightSize(QSize(90, 60), turn)) << path;
                const auto got = renderEmojiPNG(picture.get(), framing, 64);
                ASSERT_TRUE(got) << path << " tag " << tag << " turn " << turn;
                EXPECT_LE(largestDifference(decodePng(*got), want), 2) << path << " tag " << tag << " turn " << turn;
            };
            check(decoded->turned(turn), "decoded", fromJpeg);
            check(Picture::openForRender(jpeg)->turned(turn), "opened", fromJpeg);
            // Turned twice: the turns compose.
            check(decoded->turned(kFlipAcross)->turned(composedOrientation(kFlipAcross, turn)), "twice", fromJpeg);
            for (const QByteArray* file : {&jpeg, &tiff}) {
                auto session = std::make_shared<DecoderSession>();
                ASSERT_TRUE(session->start(PictureInput::bytes(*file), true));
                const auto opened = session->openForRender();
                ASSERT_TRUE(opened);
                if (file == &jpeg)
                    check((*opened.value)->turned(turn), "direct helper", fromJpeg);
                else
                    check((*opened.value)->turned(turn), "libvips helper", fromTiff);
            }
        }
    }
}
