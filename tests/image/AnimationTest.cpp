#include "PictureFixtures.h"

#include "core/Animation.h"
#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "image/decoding/Decoding.h"
#include "image/decoding/FrameReader.h"
#include "gif/GifEncoder.h"
#include "image/Picture.h"
#include "image/shared/VipsRuntime.h"

#include <QProcess>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <future>
#include <numeric>
#include <random>

using namespace cropling;
using namespace cropling::test;

namespace {

QByteArray fixture(const char* name) { return readFile(QByteArray(CROPLING_SOURCE_DIR "/tests/fixtures/animation/") + name); }

Outcome<PicturePtr> framesOf(const char* name, int side = 0) {
    auto session = std::make_shared<DecoderSession>();
    if (!session->start(fixture(name)))
        return {};
    return session->frames(side);
}

std::vector<int> pixel(const Picture& frame, int x, int y) {
    std::vector<int> rgba;
    for (const double v : frame.pixels().getpoint(x, y))
        rgba.push_back(int(v));
    return rgba;
}

const std::vector<int> kRed{255, 0, 0, 255};
const std::vector<int> kBlue{0, 0, 255, 255};

// Noise changes every pixel of every frame: nothing carries over, so only losses make it small.
EmojiFrames noiseFrames(int count) {
    std::mt19937 random(7);
    EmojiFrames frames;
    for (int i = 0; i < count; ++i) {
        frames.frames.push_back(makeImage(128, 128, 4, [&](int, int, int b) { return b == 3 ? 255 : int(random() & 255); }));
        frames.delaysMs.push_back(40 + 10 * (i % 3));
    }
    frames.loop = 2;
    return frames;
}

} // namespace

TEST(AnimationIntake, FramesAreComposedAsTheirDisposalSays) {
    // Frame 1 paints a blue square over red; frame 2 paints a small green one elsewhere. What lies
    // under frame 1's square in frame 2 depends on frame 1's disposal.
    const auto previous = framesOf("restore-previous.gif");
    const auto background = framesOf("restore-background.gif");
    ASSERT_TRUE(previous && background);
    const Picture& restored = (*previous.value)->frame(2);
    EXPECT_EQ(pixel((*previous.value)->frame(1), 20, 20), kBlue);
    EXPECT_EQ(pixel(restored, 20, 20), kRed);
    EXPECT_EQ(pixel(restored, 44, 44), (std::vector<int>{0, 255, 0, 255}));
    const auto cleared = pixel((*background.value)->frame(2), 20, 20);
    EXPECT_NE(cleared, kRed);
    EXPECT_NE(cleared, kBlue);
    EXPECT_EQ(pixel((*background.value)->frame(2), 2, 2), kRed);
}

TEST(AnimationIntake, DelaysAndLoopCountAreKeptForGifAndWebp) {
    const auto gif = framesOf("restore-previous.gif");
    const auto webp = framesOf("timed.webp");
    ASSERT_TRUE(gif && webp);
    EXPECT_EQ((*gif.value)->frameDelays(), (std::vector<int>{100, 200, 300}));
    EXPECT_EQ((*gif.value)->loopCount(), 3); // two repeats: three plays
    EXPECT_EQ((*webp.value)->frameCount(), 4);
    EXPECT_EQ((*webp.value)->frameDelays(), (std::vector<int>{100, 200, 300, 400}));
    EXPECT_EQ((*webp.value)->loopCount(), 3);
}

TEST(AnimationIntake, TooManyFramesOrTooLongAPlayIsRefusedWithItsReason) {
    for (const char* bomb : {"too-many-frames.gif", "too-long.gif"}) {
        const auto frames = framesOf(bomb);
        EXPECT_FALSE(frames) << bomb;
        EXPECT_EQ(frames.why, OpenFailure::TooManyFrames) << bomb;
    }
}

TEST(AnimationIntake, KeptFramesFitTheMemoryBoundWhateverTheirCountAndSize) {
    // 4000 x 4000 frames, 64 MB each decoded; a file of a few kilobytes.
    const auto header = decoding::readHeader(fixture("sparse-canvas.gif"));
    ASSERT_TRUE(header);
    for (const int frames : {1, 40, kMaxFrames}) {
        const QSize size = decoding::frameSize(*header, frames, 0);
        EXPECT_LE(4LL * size.width() * size.height() * frames, kMaxAnimationBytes) << frames;
        EXPECT_EQ(size.width(), size.height()) << frames;
        EXPECT_GT(size.width(), 0) << frames;
    }
}

// The GIF as a viewer decodes it: its pages one under another, RGBA.
vips::VImage decoded(const QByteArray& gif) {
    ensureVipsStarted();
    vips::VImage pages =
        vips::VImage::new_from_buffer(gif.constData(), size_t(gif.size()), "", vips::VImage::option()->set("n", -1));
    return pages.bands() == 3 ? pages.bandjoin_const({255.0}) : pages;
}

// One pixel of every frame as a browser shows it, RGBA: ImageMagick composes the frames as
// browsers do, a frame disposed to the background leaving transparency (libvips' and Qt's
// readers show the background colour there).
std::vector<std::array<int, 4>> shownPixel(const QByteArray& gif, int x, int y) {
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    file.write(gif);
    file.flush();
    const QString at = QStringLiteral("p{%1,%2}").arg(x).arg(y);
    QString format;
    for (const char* channel : {"r", "g", "b", "a"})
        format += QStringLiteral("%[fx:round(255*%1.%2)] ").arg(at, QLatin1String(channel));
    QProcess convert;
    convert.start(QStringLiteral("convert"), {file.fileName(), QStringLiteral("-coalesce"), QStringLiteral("-format"),
                                             format + QStringLiteral("\n"), QStringLiteral("info:")});
    EXPECT_TRUE(convert.waitForFinished(20'000));
    std::vector<std::array<int, 4>> frames;
    for (const QByteArray& line : convert.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> v = line.simplified().split(' ');
        if (v.size() == 4)
            frames.push_back({v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt()});
    }
    return frames;
}

TEST(GifBudget, AHardAnimationFitsByDroppingFramesAndKeepsItsDurationAndLoop) {
    // Long enough that the search starts from a sample of the frames.
    const EmojiFrames noise = noiseFrames(90);
    const long long budget = 40'000;
    const auto gif = encodeGifWithin(noise, {budget, 0});
    ASSERT_TRUE(gif);
    EXPECT_LE(gif->bytes.size(), budget);
    EXPECT_LT(gif->frames, 90);
    const vips::VImage read = decoded(gif->bytes);
    const std::vector<int> delays = read.get_array_int("delay");
    EXPECT_EQ(int(delays.size()), gif->frames);
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0LL), animationDuration(noise.delaysMs));
    EXPECT_EQ(read.get_int("loop"), 2);

    // A budget not even one frame fits gives nothing rather than a larger file.
    EXPECT_FALSE(encodeGifWithin(noise, {200, 0}));
}

TEST(GifBudget, NotOneByteOverTheBudget) {
    // The file one budget gives is one byte over the next budget down: that one must not take it.
    // Few frames, so the search tries every setting and lands on the same file again if allowed.
    const EmojiFrames noise = noiseFrames(4);
    for (const long long budget : {20'000LL, 60'000LL}) {
        const auto fitted = encodeGifWithin(noise, {budget, 0});
        ASSERT_TRUE(fitted);
        const long long tighter = fitted->bytes.size() - 1;
        const auto refitted = encodeGifWithin(noise, {tighter, 0});
        ASSERT_TRUE(refitted) << budget;
        EXPECT_LE(refitted->bytes.size(), tighter) << budget;
    }
}

TEST(GifBudget, AnExportOutOfTimeStopsItsEncodeAndStillGivesAGifThatFits) {
    // An export that has used up its work on rendering: the search's first encode is stopped
    // where it is, and a few frames at the smallest setting stand in, within the budget and with
    // the whole length.
    const EmojiFrames noise = noiseFrames(200);
    const long long budget = 60'000;
    const auto gif = encodeGifWithin(noise, {budget, 0}, nullptr, 1'000'000'000);
    ASSERT_TRUE(gif);
    EXPECT_LE(gif->bytes.size(), budget);
    EXPECT_GE(gif->frames, 2);
    EXPECT_LT(gif->frames, 200);
    const std::vector<int> delays = decoded(gif->bytes).get_array_int("delay");
    EXPECT_EQ(int(delays.size()), gif->frames);
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0LL), animationDuration(noise.delaysMs));
}

TEST(GifBudget, AnExportSlowToRenderStillSearchesForTheBestThatFits) {
    // Smooth gradients that fit the budget with every colour: an export that took long to render
    // its frames must not fall back to the smallest file there is.
    EmojiFrames smooth;
    for (int i = 0; i < 10; ++i) {
        smooth.frames.push_back(makeImage(128, 128, 4, [i](int x, int y, int b) { return b == 3 ? 255 : (x + y + i * 4 + b * 40) & 255; }));
        smooth.delaysMs.push_back(80);
    }
    const auto gif = encodeGifWithin(smooth, {131'072, 50}, nullptr, 1'000'000'000);
    ASSERT_TRUE(gif);
    const vips::VImage first = decoded(gif->bytes).crop(0, 0, 128, 128);
    const vips::VImage source = smooth.frames.front();
    const double mse = (first.cast(VIPS_FORMAT_FLOAT) - source.cast(VIPS_FORMAT_FLOAT)).pow(2).avg();
    EXPECT_LT(mse, 4.0);
}

TEST(GifBudget, TheFrameCapHoldsWhateverTheBudgetAndTheLengthStays) {
    // 125 small frames fit the bytes many times over; the cap alone makes them fewer.
    EmojiFrames many;
    for (int i = 0; i < 125; ++i) {
        many.frames.push_back(makeImage(128, 128, 4, [i](int x, int, int b) { return b == 3 ? 255 : (x + i * 3) & 255; }));
        many.delaysMs.push_back(i % 5 == 0 ? 0 : 30); // a zero delay shows as 100 ms
    }
    for (const int cap : {50, 1}) {
        const auto gif = encodeGifWithin(many, {10'000'000, cap});
        ASSERT_TRUE(gif) << cap;
        const vips::VImage read = decoded(gif->bytes);
        const std::vector<int> delays = read.get_array_int("delay");
        EXPECT_EQ(read.height() / 128, gif->frames) << cap;
        EXPECT_LE(gif->frames, cap);
        EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0LL), animationDuration(many.delaysMs)) << cap;
    }
    // Evenly: kept frames stand for runs of frames that differ in length by one at most.
    std::vector<int> firsts;
    keepEvenly(many, 50, &firsts);
    for (size_t j = 1; j < firsts.size(); ++j)
        EXPECT_TRUE(firsts[j] - firsts[j - 1] == 2 || firsts[j] - firsts[j - 1] == 3) << j;
}

TEST(GifBudget, CornersThatTurnTransparentStayTransparentUnderATightBudget) {
    // A photo-like square turning: its corners are opaque in the first frame and transparent
    // later, while the budget forces palettes shared between frames.
    std::mt19937 random(5);
    EmojiFrames frames;
    for (int i = 0; i < 12; ++i) {
        const double a = i * 0.12;
        frames.frames.push_back(makeImage(128, 128, 4, [&](int x, int y, int b) {
            const double u = x - 63.5, v = y - 63.5;
            const bool inside = std::abs(std::cos(a) * u + std::sin(a) * v) < 64 && std::abs(-std::sin(a) * u + std::cos(a) * v) < 64;
            return b == 3 ? (inside ? 255 : 0) : int(random() & 127) + 60 * b;
        }));
        frames.delaysMs.push_back(80);
    }
    const auto gif = encodeGifWithin(frames, {60'000, 0});
    ASSERT_TRUE(gif);
    const auto shown = shownPixel(gif->bytes, 1, 1);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0][3], 255);
    for (size_t page = 1; page < shown.size(); ++page)
        EXPECT_EQ(shown[page][3], 0) << page;
}

TEST(GifBudget, ACancelledSearchStopsAndGivesNothing) {
    const EmojiFrames noise = noiseFrames(60);
    Progress cancelled;
    cancelled.cancel();
    EXPECT_FALSE(encodeGifWithin(noise, {40'000, 0}, &cancelled));
    EXPECT_LT(cancelled.fraction(), 1);

    // Cancelled from another thread while it searches: it stops at its next encode.
    Progress progress;
    auto search = std::async(std::launch::async, [&] { return encodeGifWithin(noise, {40'000, 0}, &progress); });
    while (progress.fraction() == 0 && search.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    }
    progress.cancel();
    EXPECT_FALSE(search.get());
}

TEST(GifBudget, AlphaBelowHalfBecomesTransparentAndTheRestOpaque) {
    EmojiFrames frames;
    // Columns of 100, 127, 128 and 200: exactly half opaque counts as opaque.
    const int alphas[] = {100, 127, 128, 200};
    frames.frames.push_back(makeImage(128, 128, 4, [&](int x, int, int b) { return b < 3 ? 200 : alphas[x / 32]; }));
    frames.delaysMs.push_back(0);
    const auto gif = encodeGifWithin(frames, {131'072, 50});
    ASSERT_TRUE(gif);
    const vips::VImage read = vips::VImage::new_from_buffer(gif->bytes.constData(), size_t(gif->bytes.size()), "");
    ASSERT_EQ(read.bands(), 4);
    const double expected[] = {0, 0, 255, 255};
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(read.getpoint(column * 32 + 10, 10)[3], expected[column]) << "alpha " << alphas[column];
}

TEST(AnimationExport, AGifRenderedInTheHelperShowsEachFramesPixels) {
    // Opened for one render, the squares of every frame come back from the helper; the GIF made
    // of them shows frame 1's blue square over frame 0's red, as the frames decoded in memory do.
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(fixture("restore-previous.gif")));
    const auto opened = session->openForRender();
    ASSERT_TRUE(opened);
    const auto decoded = framesOf("restore-previous.gif");
    ASSERT_TRUE(decoded);
    for (const PicturePtr& picture : {*opened.value, *decoded.value}) {
        const GifOutcome gif = renderEmojiGIF(picture.get(), {1, {0, 0}}, 128, {131'072, 50});
        ASSERT_TRUE(gif.gif);
        const vips::VImage pages = vips::VImage::new_from_buffer(gif.gif->bytes.constData(), size_t(gif.gif->bytes.size()), "",
                                                                 vips::VImage::option()->set("n", -1));
        ASSERT_EQ(pages.height(), 3 * 128);
        const auto at = [&](int frame) {
            const auto v = pages.getpoint(64, frame * 128 + 64);
            return std::vector<int>{int(v[0]), int(v[1]), int(v[2])};
        };
        EXPECT_EQ(at(0), (std::vector<int>{255, 0, 0}));
        EXPECT_EQ(at(1), (std::vector<int>{0, 0, 255}));
        EXPECT_EQ(at(2), (std::vector<int>{255, 0, 0}));
    }
}

TEST(AnimationExport, FramesReadSeveralAtATimeComeOutEachInItsPlace) {
    // Large enough that the helper reads its frames in several batches, none of them full: each
    // frame's own colour must land in its own place, for the window's frames and for squares.
    const int count = 25, side = 600;
    std::vector<vips::VImage> pages;
    for (int i = 0; i < count; ++i)
        pages.push_back(makeImage(side, side, 3, [i](int, int, int b) { return b == 0 ? 10 * i : b == 1 ? 250 - 10 * i : 90; }));
    vips::VImage strip = vips::VImage::arrayjoin(pages, vips::VImage::option()->set("across", 1))
                             .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    strip.set("page-height", side);
    strip.set("delay", std::vector<int>(size_t(count), 50));
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(encode(strip, ".gif")));
    const auto frames = session->frames(0);
    ASSERT_TRUE(frames);
    ASSERT_EQ((*frames.value)->frameCount(), count);
    const auto squares = session->renderFrames({1, {0, 0}}, 64);
    ASSERT_TRUE(squares);
    ASSERT_EQ(int(squares.value->frames.size()), count);
    for (int i = 0; i < count; ++i) {
        const std::vector<int> colour = pixel((*frames.value)->frame(i), side / 2, side / 2);
        EXPECT_NEAR(colour[0], 10 * i, 2) << "frame " << i;
        EXPECT_NEAR(colour[1], 250 - 10 * i, 2) << "frame " << i;
        const std::uint8_t* square = squares.value->frames[size_t(i)] + (32 * 64 + 32) * 4;
        EXPECT_NEAR(square[0], 10 * i, 2) << "square " << i;
        EXPECT_NEAR(square[1], 250 - 10 * i, 2) << "square " << i;
    }
    // For an export that keeps at most 5, only the middle frame of each run of two is rendered,
    // showing as long as its run: the animation lasts as long, and says how many frames it has.
    const auto kept = session->renderFrames({1, {0, 0}}, 64, 1, 5);
    ASSERT_TRUE(kept);
    ASSERT_EQ(int(kept.value->frames.size()), 13);
    EXPECT_EQ(kept.value->sourceFrames, count);
    EXPECT_EQ(std::accumulate(kept.value->delaysMs.begin(), kept.value->delaysMs.end(), 0), count * 50);
    for (int k = 0; k < 13; ++k)
        EXPECT_NEAR(kept.value->frames[size_t(k)][(32 * 64 + 32) * 4], 10 * (2 * k), 2) << "run " << k;
}

TEST(AnimationExport, ALongAnimationsLargeSquaresStayWithinTheirMemoryAndKeepItsLength) {
    // 70 frames of 1,024-pixel squares would be 280 MB: every third is rendered, 24 squares of
    // 96 MB, each standing for its run, whether the export keeps any number or at most 10.
    const int count = 70;
    std::vector<vips::VImage> pages;
    for (int i = 0; i < count; ++i)
        pages.push_back(makeImage(8, 8, 3, [i](int, int, int) { return 3 * i; }));
    vips::VImage strip = vips::VImage::arrayjoin(pages, vips::VImage::option()->set("across", 1))
                             .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    strip.set("page-height", 8);
    strip.set("delay", std::vector<int>(size_t(count), 40));
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(encode(strip, ".gif")));
    for (const int cap : {0, 10}) {
        const auto kept = session->renderFrames({1, {0, 0}}, 1024, 1, cap);
        ASSERT_TRUE(kept) << cap;
        EXPECT_LE((long long)kept.value->frames.size() * 1024 * 1024 * 4, kMaxSquareBytes) << cap;
        EXPECT_EQ(int(kept.value->frames.size()), 24) << cap;
        EXPECT_EQ(std::accumulate(kept.value->delaysMs.begin(), kept.value->delaysMs.end(), 0), count * 40) << cap;
    }
}

TEST(GifBudget, FlatColoursThatDitheringWouldSpeckleStayFlat) {
    // Patches of flat colour, more colours than a palette holds: each patch must come out as one
    // palette colour, for dithering speckles it and the search judges that worse.
    EmojiFrames frames;
    std::mt19937 random(3);
    std::vector<int> colours(22 * 22 * 3 * 3);
    for (int& c : colours)
        c = int(random() & 255);
    for (int i = 0; i < 3; ++i) {
        frames.frames.push_back(makeImage(128, 128, 4, [&, i](int x, int y, int b) {
            if (b == 3) return 255;
            return colours[size_t(((i * 22 + y / 6) * 22 + x / 6) * 3 + b)];
        }));
        frames.delaysMs.push_back(100);
    }
    const auto gif = encodeGifWithin(frames, {131'072, 50});
    ASSERT_TRUE(gif);
    const vips::VImage read = decoded(gif->bytes);
    int speckled = 0;
    for (int py = 0; py < 21; ++py)
        for (int px = 0; px < 21; ++px)
            for (int b = 0; b < 3; ++b)
                speckled += read.crop(px * 6 + 1, py * 6 + 1, 4, 4).extract_band(b).deviate() > 0.5;
    EXPECT_EQ(speckled, 0);
}
