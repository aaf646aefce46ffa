#include "HostileFiles.h"
#include "PictureFixtures.h"

#include "core/Animation.h"
#include "image/EmojiRenderer.h"
#include "image/decoding/Preflight.h"
#include "image/Picture.h"

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

// Each file here once cost gigabytes or minutes; now each opens within bounds or is refused at
// once. The bounds themselves are measured by bench/hostile_bench.

TEST(HostileInput, TextChunksThatInflateWithoutBoundAreNeverInflated) {
    // 60 chunks of 40 MB each: inflated, 2.4 GB.
    const QByteArray png = pngWithTextBombs(60, 40 << 20);
    for (const auto& picture : {Picture::decode(png), Picture::openForRender(png)}) {
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->fullSize(), QSize(64, 64));
        EXPECT_TRUE(renderEmojiPNG(picture.get(), {1, {0, 0}}, 128));
    }
}

TEST(HostileInput, AFrameTooLargeForItsDecodersBudgetIsRefusedFromItsHeader) {
    EXPECT_FALSE(Picture::decode(gifClaiming(20000, 20000)));
    EXPECT_FALSE(Picture::openForRender(gifClaiming(20000, 20000)));
    // An ordinary GIF opens.
    EXPECT_TRUE(Picture::decode(encode(makeImage(300, 200, 3, [](int x, int, int) { return x & 255; }), ".gif")));
}

TEST(HostileInput, ExtraBandsAreDropped) {
    const auto picture = Picture::decode(tiffWithBands(400, 100));
    ASSERT_TRUE(picture);
    EXPECT_LE(picture->pixels().bands(), 4);
    EXPECT_TRUE(renderEmojiPNG(Picture::openForRender(tiffWithBands(400, 100)).get(), {1, {0, 0}}, 128));
}

TEST(HostileInput, AStillOfAnAnimationIsItsFirstFrameWhateverItsLength) {
    const QByteArray webp = animatedWebp(100000);
    const auto picture = Picture::decode(webp);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->fullSize(), QSize(1, 1));
    // The decoder is handed one frame more than an animation may have, not a hundred thousand.
    const auto cut = preflight::sanitise(webp);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->count("ANMF"), kMaxFrames + 1);
}

TEST(HostileInput, AMultiPageTiffIsItsFirstPage) {
    const QByteArray tiff = tiffWithPages(5000, 8);
    const auto picture = Picture::decode(tiff);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->fullSize(), QSize(8, 8));
    // Read as every page stacked, the file handed on has one page.
    const auto cut = preflight::sanitise(tiff);
    ASSERT_TRUE(cut);
    EXPECT_EQ(vips::VImage::new_from_buffer(cut->constData(), size_t(cut->size()), "", vips::VImage::option()->set("n", -1)).height(), 8);
}

TEST(HostileInput, AJpegWithHundredsOfScansIsRefused) {
    EXPECT_TRUE(Picture::decode(jpegWithScans(0))); // an ordinary progressive JPEG
    EXPECT_FALSE(Picture::decode(jpegWithScans(300)));
    EXPECT_FALSE(Picture::openForRender(jpegWithScans(300)));
    // A junk byte between segments, which the decoder skips, does not hide the scans.
    QByteArray junk = jpegWithScans(300);
    junk.insert(2, '\0');
    EXPECT_FALSE(preflight::sanitise(junk));
    // Nor do FF 00 and a length after the start marker, which the decoder skips as junk but a walk
    // of segments would take for a segment that hides the frame header.
    QByteArray hidden = jpegWithScans(300);
    hidden.insert(2, QByteArray("\xFF\x00\x7F\xF0", 4));
    EXPECT_FALSE(preflight::sanitise(hidden));
}

TEST(HostileInput, ABrokenTailOrAFileCutAnywhereKeepsThePreflightsCuts) {
    // Junk after the end does not let the text chunks through.
    const QByteArray bombs = pngWithTextBombs(4, 1 << 20);
    const auto cut = preflight::sanitise(bombs + QByteArray(12, '\x7f'));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->contains("zTXt"));
    EXPECT_FALSE(cut->contains("iTXt"));
    EXPECT_TRUE(cut->endsWith(QByteArray(12, '\x7f')));
    // Every prefix of a TIFF, a WebP and a PNG, down to its magic alone, is walked without reading
    // past its end (the sanitizer build would stop at such a read).
    for (const QByteArray& file : {tiffWithPages(3, 4), animatedWebp(3), bombs.left(300)}) {
        for (qsizetype length = 2; length <= file.size(); length += length < 64 ? 1 : 97)
            (void)preflight::sanitise(file.left(length));
    }
    // A GIF cut anywhere inside a frame is refused, not taken for the frames before the cut; one
    // whole up to its trailer passes, junk after it too.
    const QByteArray gif = readFile(CROPLING_SOURCE_DIR "/tests/fixtures/animation/restore-previous.gif");
    ASSERT_TRUE(gif.endsWith(';'));
    int passed = 0;
    for (qsizetype length = 6; length < gif.size() - 1; ++length)
        passed += preflight::sanitise(gif.left(length)).has_value();
    EXPECT_LE(passed, 8); // only cuts that fall between two blocks
    EXPECT_TRUE(preflight::sanitise(gif));
    EXPECT_TRUE(preflight::sanitise(gif + "junk"));
}
