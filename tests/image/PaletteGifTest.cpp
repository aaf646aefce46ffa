#include "PictureFixtures.h"

#include "gif/PaletteGif.h"
#include "image/shared/VipsRuntime.h"

#include <QProcess>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cmath>

using namespace cropling;
using namespace cropling::test;

namespace {

// Every frame as a browser shows it over mid grey, RGB: ImageMagick composes the frames with
// their disposal, as browsers do.
std::vector<std::vector<uint8_t>> viewedOnGrey(const QByteArray& gif, int side) {
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    file.write(gif);
    file.flush();
    QProcess convert;
    convert.start(QStringLiteral("convert"), {file.fileName(), QStringLiteral("-coalesce"), QStringLiteral("-background"),
                                             QStringLiteral("rgb(128,128,128)"), QStringLiteral("-alpha"), QStringLiteral("remove"),
                                             QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
    EXPECT_TRUE(convert.waitForFinished(20'000));
    const QByteArray raw = convert.readAllStandardOutput();
    const qsizetype frameBytes = qsizetype(side) * side * 3;
    std::vector<std::vector<uint8_t>> frames;
    for (qsizetype at = 0; at + frameBytes <= raw.size(); at += frameBytes)
        frames.emplace_back(raw.begin() + at, raw.begin() + at + frameBytes);
    return frames;
}

// A soft gradient drifting a little each frame, with pure white and black patches and a corner
// clear in every frame; or, with `turningClear`, a square moving over a clear background, so
// pixels turn clear.
EmojiFrames movingFrames(bool turningClear) {
    EmojiFrames frames;
    for (int i = 0; i < 6; ++i) {
        frames.frames.push_back(makeImage(64, 64, 4, [&](int x, int y, int b) {
            if (turningClear) {
                const bool inside = x >= 8 + 6 * i && x < 30 + 6 * i && y >= 10 && y < 40;
                return b == 3 ? (inside ? 255 : 0) : (inside ? 40 + 50 * b + 2 * x : 0);
            }
            if (x < 10 && y < 10)
                return b == 3 ? 0 : 0;
            if (x >= 50 && y >= 50)
                return 255;
            if (x < 10 && y >= 54)
                return b == 3 ? 255 : 0;
            return b == 3 ? 255 : std::clamp(int(2 * x + 3 * y * (b + 1) / 3 + i * (b + 1)), 0, 255);
        }));
        frames.delaysMs.push_back(60);
    }
    return frames;
}

} // namespace

TEST(PaletteGif, WhatTheSearchJudgesIsWhatAViewerShows) {
    // The search weighs settings by the frames the encoder says a viewer will see; if that
    // differed from what a browser composes, every choice would be made on the wrong pixels.
    ensureVipsStarted();
    for (const bool turningClear : {false, true}) {
        const PaletteGif gif(movingFrames(turningClear));
        EXPECT_EQ(gif.alphaChanges(), turningClear);
        for (const int colours : {256, 16}) {
            for (const float dither : {0.f, 0.75f}) {
                const MappedFrames mapped = gif.map(colours, dither);
                for (const int keep : {0, 12}) {
                    std::vector<std::vector<uint8_t>> shown;
                    const QByteArray bytes = gif.encode(mapped, keep, &shown);
                    const auto viewed = viewedOnGrey(bytes, 64);
                    ASSERT_EQ(viewed.size(), shown.size()) << turningClear << colours << dither << keep;
                    for (size_t f = 0; f < shown.size(); ++f)
                        EXPECT_EQ(viewed[f], shown[f]) << "clear " << turningClear << ", colours " << colours << ", dither "
                                                       << dither << ", keep " << keep << ", frame " << f;
                }
            }
        }
    }
}

TEST(PaletteGif, FewColoursComeOutExactlyAndLeftPixelsStayWithinTheirBound) {
    ensureVipsStarted();
    // Eight flat colours, white and black among them: a table of 256 holds them all.
    EmojiFrames flat;
    const int palette[8][3] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 128, 255}, {12, 200, 40}, {250, 250, 5}, {90, 90, 90}, {254, 255, 255}};
    for (int i = 0; i < 4; ++i) {
        flat.frames.push_back(makeImage(64, 64, 4, [&](int x, int y, int b) {
            return b == 3 ? 255 : palette[((x + i * 8) / 8 + y / 16) % 8][b];
        }));
        flat.delaysMs.push_back(100);
    }
    const PaletteGif exact(flat);
    std::vector<std::vector<uint8_t>> shown;
    exact.encode(exact.map(256, 0), 0, &shown);
    for (size_t f = 0; f < flat.frames.size(); ++f) {
        const vips::VImage rgb = flat.frames[f].extract_band(0, vips::VImage::option()->set("n", 3)).copy_memory();
        const auto* data = static_cast<const uint8_t*>(vips_image_get_data(rgb.get_image()));
        EXPECT_TRUE(std::equal(shown[f].begin(), shown[f].end(), data)) << f;
    }

    // A pixel left to the frame before is within the bound of the frame's own colour, plus what
    // the table itself costs, which drawing it again would cost too.
    const EmojiFrames moving = movingFrames(false);
    const PaletteGif gif(moving);
    const MappedFrames mapped = gif.map(256, 0);
    std::vector<std::vector<uint8_t>> exactShown, keptShown;
    gif.encode(mapped, 0, &exactShown);
    gif.encode(mapped, 6, &keptShown);
    for (size_t f = 0; f < keptShown.size(); ++f)
        for (size_t i = 0; i < keptShown[f].size(); ++i)
            ASSERT_LE(std::abs(int(keptShown[f][i]) - int(exactShown[f][i])), 2 * 6 + 2) << f << " " << i;
}
