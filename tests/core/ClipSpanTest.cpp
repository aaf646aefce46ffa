#include "core/Animation.h"
#include "core/ClipSpan.h"

#include <gtest/gtest.h>

using namespace cropling;

TEST(ClipSpan, TimesReadAsPeopleWriteThemAndNothingElse) {
    const struct {
        const char* text;
        std::optional<qint64> ms;
    } cases[] = {
        {"1.5", 1500},      {"0", 0},           {"0:01.5", 1500},   {"1:02.5", 62'500}, {"1:02:03", 3'723'000},
        {"90", 90'000},     {"0:75", {}},       {"1.5:00", {}},     {"-1", {}},         {"1e3", {}},
        {"0x10", {}},       {"inf", {}},        {"", {}},           {"1::2", {}},       {"1:2:3:4", {}},
        {"25:00:00", {}},   {" 1", {}},         {"+1", {}},         {"1:60", {}},       {"1:59.9", 119'900},
        {"0:60:00", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseClipTime(c.text), c.ms) << c.text;
}

TEST(ClipSpan, SpansStayInTheClipAndWithinAnAnimationsLongestPlay) {
    // The default span: the first seconds, or the whole of a shorter clip.
    EXPECT_EQ(defaultSpan(10'000), (ClipSpan{0, kDefaultSpanMs, 1.0}));
    EXPECT_EQ(defaultSpan(1'200), (ClipSpan{0, 1'200, 1.0}));
    // Past the end, reversed, too short, too fast, or longer than an animation may play.
    EXPECT_EQ(clampedSpan({9'000, 12'000, 1.0}, 10'000), (ClipSpan{9'000, 10'000, 1.0}));
    EXPECT_EQ(clampedSpan({5'000, 4'000, 1.0}, 10'000).lengthMs(), kMinSpanMs);
    EXPECT_EQ(clampedSpan({0, 500, 9.0}, 10'000).speed, kMaxClipSpeed);
    const ClipSpan longest = clampedSpan({0, 3'600'000, 0.5}, 7'200'000);
    EXPECT_EQ(longest.playedMs(), kMaxAnimationMs);
    // A clip of unknown length keeps what was asked.
    EXPECT_EQ(clampedSpan({3'000'000, 3'002'000, 1.0}, 0), (ClipSpan{3'000'000, 3'002'000, 1.0}));
}

TEST(ClipSpan, FramesComeAsOftenAsTheClipHasThemWithinWhatAGifShows) {
    // 30 frames a second: a GIF shows 40 ms frames, 25 a second, so 3 s give 75.
    const FrameSampling thirty = frameSampling({0, 3'000, 1.0}, 33);
    EXPECT_EQ(thirty.delayMs, 40);
    EXPECT_EQ(thirty.frames, 75);
    // Played twice as fast, the same frames show half as long, never below 20 ms.
    const FrameSampling fast = frameSampling({0, 3'000, 2.0}, 40);
    EXPECT_EQ(fast.delayMs, 20);
    EXPECT_EQ(fast.stepMs, 40);
    // A 120-frame-a-second clip too: browsers would show 10 ms frames at a tenth of a second.
    const FrameSampling slowMotion = frameSampling({0, 1'000, 1.0}, 8);
    EXPECT_EQ(slowMotion.delayMs, 20);
    EXPECT_EQ(slowMotion.frames, 50);
    // A long span is thinned to the most frames a span gives; the frames still cover its length.
    const FrameSampling thinned = frameSampling({0, 60'000, 1.0}, 33);
    EXPECT_LE(thinned.frames, kMaxSpanFrames);
    EXPECT_NEAR(double(thinned.frames) * thinned.stepMs, 60'000.0, thinned.stepMs);
}
