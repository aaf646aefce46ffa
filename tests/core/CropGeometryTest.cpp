#include "core/CropGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace cropling;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectSize(QPointF actual, double x, double y) {
    EXPECT_NEAR(actual.x(), x, 1e-9);
    EXPECT_NEAR(actual.y(), y, 1e-9);
}

void expectRect(QRectF r, double x, double y, double side) {
    EXPECT_NEAR(r.x(), x, 1e-9);
    EXPECT_NEAR(r.y(), y, 1e-9);
    EXPECT_NEAR(r.width(), side, 1e-9);
    EXPECT_NEAR(r.height(), side, 1e-9);
}

} // namespace

TEST(CropGeometry, SquarePictureFillsTheSquareAtZoomOneAndPansAtZoomTwo) {
    const CropFrame one(QSizeF(1000, 1000), 1);
    EXPECT_NEAR(one.scale(), 0.34, 1e-12);
    expectSize(one.limits(), 0, 0);
    expectSize(one.clamp({25, -40}), 0, 0);
    expectRect(one.cropRect({0, 0}), 0, 0, 1000);

    const CropFrame two(QSizeF(1000, 1000), 2);
    EXPECT_NEAR(two.scale(), 0.68, 1e-12);
    expectSize(two.limits(), 170, 170);
}

TEST(CropGeometry, LandscapeLimitsClampAndCropRectangles) {
    const CropFrame one(QSizeF(4000, 3000), 1);
    EXPECT_NEAR(one.scale(), 340.0 / 3000, 1e-15);
    expectSize(one.limits(), 170.0 / 3, 0);
    expectSize(one.clamp({100, 50}), 170.0 / 3, 0);
    expectRect(one.cropRect({0, 0}), 500, 0, 3000);

    const CropFrame two(QSizeF(4000, 3000), 2);
    expectSize(two.limits(), 850.0 / 3, 170);
    expectRect(two.cropRect({0, 0}), 1250, 750, 1500);
    expectRect(two.cropRect({850.0 / 3, 170}), 0, 0, 1500);
    expectRect(two.cropRect({34, 0}), 1100, 750, 1500);
    expectRect(two.cropRect({0, -17}), 1250, 825, 1500);
}

TEST(CropGeometry, PortraitAndSmallPictures) {
    const CropFrame portrait(QSizeF(3000, 4000), 1.5);
    EXPECT_NEAR(portrait.scale(), 0.17, 1e-12);
    expectSize(portrait.limits(), 85, 170);
    expectSize(portrait.clamp({-500, 500}), -85, 170);
    expectRect(CropFrame(QSizeF(3000, 4000), 1).cropRect({0, 0}), 0, 500, 3000);

    const QRectF r = CropFrame(QSizeF(640, 480), 1.5).cropRect({10, 0});
    EXPECT_NEAR(r.x(), 150.58823529411765, 1e-9);
    EXPECT_NEAR(r.y(), 80, 1e-9);
    EXPECT_NEAR(r.width(), 320, 1e-9);
}

TEST(CropGeometry, NotANumberComponentComesOutAtTheLowerLimit) {
    expectSize(CropFrame(QSizeF(4000, 3000), 1).clamp({kNaN, 0}), -170.0 / 3, 0);
    // On an axis without play the lower and upper limit are both zero.
    expectSize(CropFrame(QSizeF(4000, 3000), 1).clamp({0, kNaN}), 0, 0);
}

TEST(CropGeometry, ZoomBelowOneAndUnusableZooms) {
    const CropFrame half(QSizeF(4000, 3000), 0.5);
    expectSize(half.limits(), 0, 0);
    expectSize(half.clamp({30, -30}), 0, 0);
    expectRect(half.cropRect({0, 0}), -1000, -1500, 6000);

    for (const double zoom : {0.0, -1.0, kNaN}) {
        const CropFrame frame(QSizeF(4000, 3000), zoom);
        expectSize(frame.limits(), 0, 0);
        expectSize(frame.clamp({12, -7}), 0, 0);
    }
    const CropFrame infinite(QSizeF(4000, 3000), kInf);
    EXPECT_TRUE(std::isinf(infinite.limits().x()));
    expectSize(infinite.clamp({12, -7}), 12, -7);
}

TEST(CropGeometry, NoPictureOrNoAreaCollapsesToTheCentre) {
    expectSize(clampedOffset(std::nullopt, 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(QSizeF(0, 100), 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(QSizeF(kNaN, 100), 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(QSizeF(100, -5), 2, {50, 50}), 0, 0);
}

TEST(CropGeometry, PlacementScalesWithTheSideSoEverySideFramesAlike) {
    const CropFrame frame(QSizeF(4000, 3000), 2);
    const QPointF offset(100, -40);
    const QRectF big = frame.placement(offset, 340);
    const QRectF small = frame.placement(offset, 34);
    EXPECT_NEAR(small.x() * 10, big.x(), 1e-9);
    EXPECT_NEAR(small.y() * 10, big.y(), 1e-9);
    EXPECT_NEAR(small.width() * 10, big.width(), 1e-9);
    EXPECT_NEAR(small.height() * 10, big.height(), 1e-9);

    // The square's corners show the crop rectangle's corners.
    const QRectF crop = frame.cropRect(offset);
    const double s = frame.scale();
    EXPECT_NEAR(big.x() + crop.x() * s, 0, 1e-9);
    EXPECT_NEAR(big.y() + (crop.y() + crop.height()) * s, 340, 1e-9);
    // Zoom magnifies about the picture's own centre.
    EXPECT_NEAR(big.x() + big.width() / 2, 170 + offset.x(), 1e-9);
}

TEST(EmojiSourcePixels, WorkedRectanglesInPixels) {
    EXPECT_EQ(emojiSourcePixels(4000, 3000, 1, {0, 0}), (QRect(500, 0, 3000, 3000)));
    EXPECT_EQ(emojiSourcePixels(4000, 3000, 2, {0, 0}), (QRect(1250, 750, 1500, 1500)));
    EXPECT_EQ(emojiSourcePixels(4000, 3000, 2, {34, 0}), (QRect(1100, 750, 1500, 1500)));
    EXPECT_EQ(emojiSourcePixels(4000, 3000, 2, {0, -17}), (QRect(1250, 825, 1500, 1500)));
    EXPECT_EQ(emojiSourcePixels(3000, 4000, 1, {0, 0}), (QRect(0, 500, 3000, 3000)));
    // Fractional edges expand outward: x 150.588..470.588 takes columns 150 to 470.
    EXPECT_EQ(emojiSourcePixels(640, 480, 1.5, {10, 0}), (QRect(150, 80, 321, 320)));
    // Below zoom 1 only the overlap is cut: the whole picture.
    EXPECT_EQ(emojiSourcePixels(4000, 3000, 0.5, {0, 0}), (QRect(0, 0, 4000, 3000)));
}

TEST(EmojiSourcePixels, RefusesTinyOverlapsAndUnusableZooms) {
    EXPECT_FALSE(emojiSourcePixels(4, 4, 4, {0, 0}));     // a crop of exactly one pixel
    EXPECT_TRUE(emojiSourcePixels(4, 4, 3.9, {0, 0}));
    EXPECT_FALSE(emojiSourcePixels(1, 10000, 1, {0, 0})); // one pixel wide
    EXPECT_FALSE(emojiSourcePixels(4000, 3000, 1, {5000, 0})); // no overlap
    for (const double zoom : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(emojiSourcePixels(4000, 3000, zoom, {0, 0})) << zoom;
    EXPECT_FALSE(emojiSourcePixels(4000, 3000, 1, {std::numeric_limits<double>::quiet_NaN(), 0}));
}
