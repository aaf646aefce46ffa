#include "LanczosReference.h"
#include "PictureFixtures.h"

#include "core/CropGeometry.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"
#include "image/shared/Resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <tuple>

using namespace cropling;
using namespace cropling::test;

namespace {

using Generator = std::function<int(int, int, int)>;

// The reference for a square source rendered whole: premultiplied, resampled, clamped to 0..255.
Plane referenceFor(int width, int height, const Generator& rgba, int n) {
    Plane in;
    in.width = width;
    in.height = height;
    in.rgba.resize(size_t(width * height * 4));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double a = rgba(x, y, 3) / 255.0;
            for (int c = 0; c < 4; ++c)
                in.rgba[size_t((y * width + x) * 4 + c)] = c == 3 ? rgba(x, y, 3) : rgba(x, y, c) * a;
        }
    Plane out = lanczos3(in, n, n);
    for (double& v : out.rgba)
        v = std::clamp(v, 0.0, 255.0);
    return out;
}

struct Difference {
    double mean = 0;
    double max = 0;
};

// Compares premultiplied values so that invisible colour under zero alpha does not count.
Difference compare(const Rgba& png, const Plane& reference) {
    Difference d;
    for (int y = 0; y < png.height; ++y)
        for (int x = 0; x < png.width; ++x) {
            const double a = png.at(x, y, 3) / 255.0;
            for (int c = 0; c < 4; ++c) {
                const double got = c == 3 ? png.at(x, y, 3) : png.at(x, y, c) * a;
                const double diff = std::abs(got - reference.rgba[size_t((y * reference.width + x) * 4 + c)]);
                d.mean += diff;
                d.max = std::max(d.max, diff);
            }
        }
    d.mean /= double(png.width) * png.height * 4;
    return d;
}

Rgba renderWhole(const Generator& rgba, int width, int height, double zoom = 1, QPointF offset = {0, 0}) {
    const auto picture = makePicture(makeImage(width, height, 4, rgba));
    const auto png = renderEmojiPNG(picture.get(), {zoom, offset}, 128);
    EXPECT_TRUE(png.has_value());
    return png ? decodePng(*png) : Rgba{};
}

int grey(double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

} // namespace

TEST(EmojiRender, NoPictureOrBadSizeGivesNothing) {
    EXPECT_FALSE(renderEmojiPNG(nullptr, {1, {0, 0}}, 128));
    const auto picture = makePicture(makeImage(64, 64, 3, [](int, int, int) { return 100; }));
    EXPECT_FALSE(renderEmojiPNG(picture.get(), {1, {0, 0}}, 0));
    EXPECT_FALSE(renderEmojiPNG(picture.get(), {1, {0, 0}}, -128));
}

TEST(EmojiRender, OpaqueSourceGivesOpaqueRgbaPngOfExactSize) {
    const auto picture = makePicture(makeImage(4000, 3000, 3, [](int x, int, int b) { return b == 0 ? x % 256 : 40; }));
    const auto png = renderEmojiPNG(picture.get(), {1, {0, 0}}, 128);
    ASSERT_TRUE(png);
    const Rgba out = decodePng(*png);
    EXPECT_EQ(out.width, 128);
    EXPECT_EQ(out.height, 128);
    ASSERT_EQ(out.bands, 4);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(out.at(x, y, 3), 255);
}

TEST(EmojiRender, RingPatternPastNyquistMatchesLanczosAndDoesNotAlias) {
    // A zone plate whose frequency rises from zero at the centre to about 0.5 cycles per source
    // pixel at the edge: far past the Nyquist limit of a 128-pixel output.
    const int side = 1024;
    const Generator rings = [](int x, int y, int b) {
        if (b == 3)
            return 255;
        const double dx = x + 0.5 - 512, dy = y + 0.5 - 512;
        return grey(0.5 + 0.5 * std::cos(M_PI * (dx * dx + dy * dy) / (2 * 512.0)));
    };
    const Rgba out = renderWhole(rings, side, side);
    const Difference d = compare(out, referenceFor(side, side, rings, 128));
    EXPECT_LT(d.mean, 1.0);
    EXPECT_LT(d.max, 8.0);

    // Where the rings are far too fine for the output, a proper filter leaves flat grey; a box or
    // bilinear reduction leaves moiré rings of large amplitude there.
    double worst = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double r = std::hypot(x + 0.5 - 64, y + 0.5 - 64);
            if (r > 40 && r < 60)
                worst = std::max(worst, std::abs(out.at(x, y, 0) - 127.5));
        }
    EXPECT_LT(worst, 12.0);
}

TEST(EmojiRender, SharpEdgesAndAThinLineMatchTheReference) {
    const Generator edges = [](int x, int y, int b) {
        if (b == 3)
            return 255;
        const bool light = (x * 7 + y * 3) % 997 < 480;
        return light ? 240 : (b == 2 ? 200 : 10);
    };
    const Difference de = compare(renderWhole(edges, 997, 997), referenceFor(997, 997, edges, 128));
    EXPECT_LT(de.mean, 1.0);
    EXPECT_LT(de.max, 6.0);

    const Generator line = [](int x, int, int b) { return b == 3 ? 255 : (x == 211 ? 255 : 0); };
    const Rgba out = renderWhole(line, 400, 400);
    const Difference dl = compare(out, referenceFor(400, 400, line, 128));
    EXPECT_LT(dl.max, 4.0);
    // The 1-pixel line survives as a faint column instead of vanishing or doubling.
    const int column = int((211 + 0.5) * 128 / 400);
    EXPECT_GT(out.at(column, 64, 0), 40);
}

TEST(EmojiRender, TransparentShapesGetNoDarkOrColouredFringe) {
    const Generator disc = [](int x, int y, int b) {
        const bool inside = std::hypot(x - 300.3, y - 299.7) < 180;
        if (b == 3)
            return inside ? 255 : 0;
        // Red on a transparent white ground: resampling colour without weighting it by alpha would
        // pull the invisible white into the edge and show as a pale fringe.
        return inside ? (b == 0 ? 255 : 0) : 255;
    };
    const Rgba out = renderWhole(disc, 600, 600);
    int edgePixels = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int a = out.at(x, y, 3);
            if (a < 8)
                continue; // the colour of nearly invisible pixels is quantisation noise
            edgePixels += a < 250;
            ASSERT_GE(out.at(x, y, 0), 245) << x << "," << y << " alpha " << a;
            ASSERT_LE(out.at(x, y, 1), 6);
        }
    EXPECT_GT(edgePixels, 50);
    EXPECT_EQ(out.at(0, 0, 3), 0);
    EXPECT_LT(compare(out, referenceFor(600, 600, disc, 128)).max, 6.0);
}

TEST(EmojiRender, EnlargingASmallCropHasNoHalfPixelShift) {
    // An 85-pixel crop at zoom 5 from a 425-pixel square that is mirror-symmetric about its centre:
    // the enlarged output must be mirror-symmetric too.
    const Generator pattern = [](int x, int y, int b) {
        if (b == 3)
            return 255;
        const int mx = std::min(x, 424 - x), my = std::min(y, 424 - y);
        return ((mx / 3 + my / 5) % 2) ? 230 : 20;
    };
    const Rgba out = renderWhole(pattern, 425, 425, 5);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_NEAR(out.at(x, y, 0), out.at(127 - x, y, 0), 2) << x << "," << y;

    // Against the reference on the same 85-pixel sub-bitmap.
    const Generator crop = [&](int x, int y, int b) { return pattern(x + 170, y + 170, b); };
    const Difference d = compare(out, referenceFor(85, 85, crop, 128));
    EXPECT_LT(d.mean, 1.5);
    EXPECT_LT(d.max, 12.0);
}

TEST(EmojiRender, BelowTheFitZoomThePictureKeepsItsShapeInATransparentMargin) {
    // Left half dark, right half light on a 400 x 300 picture, at half the fill zoom: the square
    // shows 600 x 600 picture pixels, so the picture covers the middle 2/3 x 1/2 of the emoji.
    const auto halves = [](int x, int, int) { return x < 200 ? 0 : 255; };
    const QByteArray file = encode(makeImage(400, 300, 3, halves), ".png");
    for (const auto& picture : {makePicture(makeImage(400, 300, 3, halves)), Picture::openForRender(file)}) {
        const auto png = renderEmojiPNG(picture.get(), {0.5, {0, 0}}, 120);
        ASSERT_TRUE(png);
        const Rgba out = decodePng(*png);
        ASSERT_EQ(out.width, 120);
        // Opaque exactly over x 20..99 and y 30..89, transparent around it.
        for (const auto& [x, y, alpha] : {std::tuple{19, 60, 0}, {20, 60, 255}, {99, 60, 255}, {100, 60, 0},
                                          {60, 29, 0}, {60, 30, 255}, {60, 89, 255}, {60, 90, 0}})
            EXPECT_EQ(out.at(x, y, 3), alpha) << x << "," << y;
        // The halves meet in the middle, unsqueezed.
        EXPECT_LT(out.at(55, 60, 0), 5);
        EXPECT_GT(out.at(64, 60, 0), 250);
    }
    // A zoom of zero, below it or not a number renders nothing.
    for (const double zoom : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(renderEmojiPNG(makePicture(makeImage(400, 300, 3, halves)).get(), {zoom, {0, 0}}, 128));
}

TEST(EmojiRender, APartFarDownATallPictureIsTheSameReadInOrder) {
    // 60 x 12000, its rows numbered by their colour: the square at the bottom lies far past the
    // point where the render reads the stream strip by strip instead of cropping it.
    const auto rows = [](int x, int y, int b) { return b == 0 ? (y / 47) & 255 : b == 1 ? (x * 4) & 255 : (y * 7) & 255; };
    const QByteArray png = encode(makeImage(60, 12000, 3, rows), ".png");
    const auto whole = Picture::decode(png);
    const auto once = Picture::openForRender(png);
    ASSERT_TRUE(whole && once);
    const QPointF bottom = clampedOffset(whole->nominalSize(), 1.5, QPointF(0, -1e9));
    const auto fromWhole = renderEmojiPNG(whole.get(), {1.5, bottom}, 128);
    const auto fromFile = renderEmojiPNG(once.get(), {1.5, bottom}, 128);
    ASSERT_TRUE(fromWhole && fromFile);
    EXPECT_EQ(decodePng(*fromFile).data, decodePng(*fromWhole).data);
}

TEST(EmojiRender, AReducedDecodeAveragesTransparentEdgesWithoutTheirHiddenColour) {
    // Opaque red up to an odd column, then transparent green: a working decode at a quarter of the
    // size averages pixels across the edge, where the green must not show.
    const auto edge = [](int x, int, int b) { return x <= 600 ? (b == 0 || b == 3 ? 255 : 0) : (b == 1 ? 255 : 0); };
    const auto picture = Picture::decode(encode(makeImage(1200, 1200, 4, edge), ".png"), 300);
    ASSERT_TRUE(picture);
    ASSERT_LT(picture->pixelWidth(), 1200);
    const vips::VImage& pixels = picture->pixels();
    for (int x = 0; x < pixels.width(); ++x) {
        const std::vector<double> p = pixels.getpoint(x, 10);
        if (p[3] > 0) {
            EXPECT_LT(p[1], 16) << x;
        }
    }
}

TEST(EmojiRender, RendersRunningAtOnceShareThePoolAndGiveTheSamePixels) {
    // Renders from many threads at once queue their slices on one pool and take back what no pool
    // thread has started: none waits for another's work, and each gives what it gives alone.
    const auto picture = makePicture(makeImage(1200, 900, 4, [](int x, int y, int b) { return (x * 7 + y * 3 + b * 40) & 255; }));
    const auto alone = renderEmojiPNG(picture.get(), {1.5, {20, -10}}, 128);
    ASSERT_TRUE(alone);
    std::vector<std::optional<QByteArray>> together(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < together.size(); ++i)
        threads.emplace_back([&, i] { together[i] = renderEmojiPNG(picture.get(), {1.5, {20, -10}}, 128); });
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& png : together)
        EXPECT_EQ(png, alone);
}

TEST(Render, AWindowOfAPictureInMemoryResamplesAsTheSameWindowComputedLazily) {
    // A frame in memory is read where it lies, through a view of the window's part; a lazy picture
    // has the part copied out. The filter must see the same pixels either way, so the part's edge
    // folds onto itself and no pixel beyond it bleeds in, for RGB and RGBA alike.
    for (const int bands : {3, 4}) {
        const vips::VImage lazy = makeImage(300, 200, bands, [](int x, int y, int b) { return (x * 7 + y * 13 + b * 50) % 256; }) + 0;
        const vips::VImage held = lazy.cast(VIPS_FORMAT_UCHAR).copy_memory();
        for (const QRectF& window : {QRectF(37.3, 21.6, 120.5, 120.5), QRectF(0, 0, 300, 200), QRectF(250.5, 150.25, 49.5, 49.75)}) {
            const vips::VImage a = resampleWindow(lazy.cast(VIPS_FORMAT_UCHAR), window, 64, 64);
            const vips::VImage b = resampleWindow(held, window, 64, 64);
            EXPECT_EQ(a.bands(), bands);
            EXPECT_EQ((a - b).abs().max(), 0) << bands << " bands, window at " << window.x() << "," << window.y();
        }
    }
}
