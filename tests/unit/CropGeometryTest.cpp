#include "editor/CropGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace cropling;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectSize(SizeD actual, double w, double h) {
    EXPECT_NEAR(actual.width, w, 1e-9);
    EXPECT_NEAR(actual.height, h, 1e-9);
}

void expectRect(RectD r, double x, double y, double side) {
    EXPECT_NEAR(r.x, x, 1e-9);
    EXPECT_NEAR(r.y, y, 1e-9);
    EXPECT_NEAR(r.width, side, 1e-9);
    EXPECT_NEAR(r.height, side, 1e-9);
}

} // namespace

TEST(CropGeometry, SquarePictureFillsTheSquareAtZoomOneAndPansAtZoomTwo) {
    const CropFrame one(1000, 1000, 1);
    EXPECT_NEAR(one.scale(), 0.34, 1e-12);
    expectSize(one.limits(), 0, 0);
    expectSize(one.clamp({25, -40}), 0, 0);
    expectRect(one.cropRect({0, 0}), 0, 0, 1000);

    const CropFrame two(1000, 1000, 2);
    EXPECT_NEAR(two.scale(), 0.68, 1e-12);
    expectSize(two.limits(), 170, 170);
}

TEST(CropGeometry, LandscapeLimitsClampAndCropRectangles) {
    const CropFrame one(4000, 3000, 1);
    EXPECT_NEAR(one.scale(), 340.0 / 3000, 1e-15);
    expectSize(one.limits(), 170.0 / 3, 0);
    expectSize(one.clamp({100, 50}), 170.0 / 3, 0);
    expectRect(one.cropRect({0, 0}), 500, 0, 3000);

    const CropFrame two(4000, 3000, 2);
    expectSize(two.limits(), 850.0 / 3, 170);
    expectRect(two.cropRect({0, 0}), 1250, 750, 1500);
    expectRect(two.cropRect({850.0 / 3, 170}), 0, 0, 1500);
    expectRect(two.cropRect({34, 0}), 1100, 750, 1500);
    expectRect(two.cropRect({0, -17}), 1250, 825, 1500);
}

TEST(CropGeometry, PortraitAndSmallPictures) {
    const CropFrame portrait(3000, 4000, 1.5);
    EXPECT_NEAR(portrait.scale(), 0.17, 1e-12);
    expectSize(portrait.limits(), 85, 170);
    expectSize(portrait.clamp({-500, 500}), -85, 170);
    expectRect(CropFrame(3000, 4000, 1).cropRect({0, 0}), 0, 500, 3000);

    const RectD r = CropFrame(640, 480, 1.5).cropRect({10, 0});
    EXPECT_NEAR(r.x, 150.58823529411765, 1e-9);
    EXPECT_NEAR(r.y, 80, 1e-9);
    EXPECT_NEAR(r.width, 320, 1e-9);
}

TEST(CropGeometry, NotANumberComponentComesOutAtTheLowerLimit) {
    expectSize(CropFrame(4000, 3000, 1).clamp({kNaN, 0}), -170.0 / 3, 0);
    // On an axis without play the lower and upper limit are both zero.
    expectSize(CropFrame(4000, 3000, 1).clamp({0, kNaN}), 0, 0);
}

TEST(CropGeometry, ZoomBelowOneAndUnusableZooms) {
    const CropFrame half(4000, 3000, 0.5);
    expectSize(half.limits(), 0, 0);
    expectSize(half.clamp({30, -30}), 0, 0);
    expectRect(half.cropRect({0, 0}), -1000, -1500, 6000);

    for (const double zoom : {0.0, -1.0, kNaN}) {
        const CropFrame frame(4000, 3000, zoom);
        expectSize(frame.limits(), 0, 0);
        expectSize(frame.clamp({12, -7}), 0, 0);
    }
    const CropFrame infinite(4000, 3000, kInf);
    EXPECT_TRUE(std::isinf(infinite.limits().width));
    expectSize(infinite.clamp({12, -7}), 12, -7);
}

TEST(CropGeometry, NoPictureOrNoAreaCollapsesToTheCentre) {
    expectSize(clampedOffset(std::nullopt, 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(SizeD{0, 100}, 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(SizeD{kNaN, 100}, 2, {50, 50}), 0, 0);
    expectSize(clampedOffset(SizeD{100, -5}, 2, {50, 50}), 0, 0);
}

TEST(CropGeometry, PlacementScalesWithTheSideSoEverySideFramesAlike) {
    const CropFrame frame(4000, 3000, 2);
    const SizeD offset{100, -40};
    const RectD big = frame.placement(offset, 340);
    const RectD small = frame.placement(offset, 34);
    EXPECT_NEAR(small.x * 10, big.x, 1e-9);
    EXPECT_NEAR(small.y * 10, big.y, 1e-9);
    EXPECT_NEAR(small.width * 10, big.width, 1e-9);
    EXPECT_NEAR(small.height * 10, big.height, 1e-9);

    // The square's corners show the crop rectangle's corners.
    const RectD crop = frame.cropRect(offset);
    const double s = frame.scale();
    EXPECT_NEAR(big.x + crop.x * s, 0, 1e-9);
    EXPECT_NEAR(big.y + crop.bottom() * s, 340, 1e-9);
    // Zoom magnifies about the picture's own centre.
    EXPECT_NEAR(big.x + big.width / 2, 170 + offset.width, 1e-9);
}
