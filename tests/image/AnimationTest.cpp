#include "PictureFixtures.h"

#include "core/Animation.h"
#include "image/DecoderSession.h"
#include "image/EmojiRenderer.h"
#include "image/Decoding.h"
#include "image/FrameReader.h"
#include "image/GifEncoder.h"
#include "image/Picture.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(frames.failure, OpenFailure::TooManyFrames) << bomb;
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

TEST(GifBudget, AHardAnimationFitsByDroppingFramesAndKeepsItsDurationAndLoop) {
    // Long enough that the search starts from a sample of the frames.
    const EmojiFrames noise = noiseFrames(90);
    const long long budget = 40'000;
    const auto gif = encodeGifWithin(noise, budget);
    ASSERT_TRUE(gif);
    EXPECT_LE(gif->bytes.size(), budget);
    EXPECT_LT(gif->frames, 90);
    const vips::VImage read =
        vips::VImage::new_from_buffer(gif->bytes.constData(), size_t(gif->bytes.size()), "", vips::VImage::option()->set("n", -1));
    const std::vector<int> delays = read.get_array_int("delay");
    EXPECT_EQ(int(delays.size()), gif->frames);
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0LL), animationDuration(noise.delaysMs));
    EXPECT_EQ(read.get_int("loop"), 2);

    // A budget not even one frame fits gives nothing rather than a larger file.
    EXPECT_FALSE(encodeGifWithin(noise, 200));
}

TEST(GifBudget, AlphaBelowHalfBecomesTransparentAndTheRestOpaque) {
    EmojiFrames frames;
    frames.frames.push_back(makeImage(128, 128, 4, [](int x, int, int b) { return b < 3 ? 200 : (x < 64 ? 100 : 200); }));
    frames.delaysMs.push_back(0);
    const auto gif = encodeGifWithin(frames, kDefaultMaxBytes);
    ASSERT_TRUE(gif);
    const vips::VImage read = vips::VImage::new_from_buffer(gif->bytes.constData(), size_t(gif->bytes.size()), "");
    ASSERT_EQ(read.bands(), 4);
    EXPECT_EQ(read.getpoint(10, 10)[3], 0);
    EXPECT_EQ(read.getpoint(100, 10)[3], 255);
}

TEST(AnimationExport, AGifRenderedInTheHelperShowsEachFramesPixels) {
    // Opened for one render, the squares of every frame come back from the helper; the GIF made
    // of them shows frame 1's blue square over frame 0's red, as the frames decoded in memory do.
    auto session = std::make_shared<DecoderSession>();
    ASSERT_TRUE(session->start(fixture("restore-previous.gif")));
    const auto opened = session->open();
    ASSERT_TRUE(opened);
    const auto decoded = framesOf("restore-previous.gif");
    ASSERT_TRUE(decoded);
    for (const PicturePtr& picture : {*opened.value, *decoded.value}) {
        const GifOutcome gif = renderEmojiGIF(picture.get(), 1, {0, 0}, 128, kDefaultMaxBytes);
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
