// Each effect measured against its own first frame, as a viewer would see the loop.

#include "core/Effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace cropling;

namespace {

// A square with a bright mark off its centre on a textured, fairly grey ground: turns and moves
// show in where the mark goes, colour changes in the ground. The mark stays inside the square
// however it turns.
PixelRows markedSquare(int n) {
    PixelRows square{n, n, 4, std::vector<std::uint8_t>(size_t(n) * size_t(n) * 4)};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            std::uint8_t* p = square.row(y) + size_t(x) * 4;
            const bool mark = x >= n * 5 / 8 && x < n * 3 / 4 && y >= n * 5 / 16 && y < n * 7 / 16;
            const auto ground = std::uint8_t(110 + (x * 7 + y * 13) % 40);
            p[0] = mark ? 255 : ground;
            p[1] = mark ? 255 : ground;
            p[2] = mark ? 255 : std::uint8_t(ground - 10);
            p[3] = 255;
        }
    }
    return square;
}

// Where the bright mark's centre lies, measured from the square's centre.
std::pair<double, double> markCentre(const PixelRows& frame) {
    double sx = 0, sy = 0, count = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const std::uint8_t* p = frame.row(y) + size_t(x) * 4;
            if (p[0] > 240 && p[1] > 240 && p[2] > 240 && p[3] > 240) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++count;
            }
        }
    }
    return count > 0 ? std::pair(sx / count - frame.width / 2.0, sy / count - frame.height / 2.0) : std::pair(0.0, 0.0);
}

double meanHue(const PixelRows& frame) {
    double r = 0, g = 0, b = 0;
    for (size_t i = 0; i < frame.bytes.size(); i += 4) {
        r += frame.bytes[i];
        g += frame.bytes[i + 1];
        b += frame.bytes[i + 2];
    }
    return std::atan2(std::sqrt(3.0) * (g - b), 2 * r - g - b) * 180 / M_PI;
}

} // namespace

TEST(Effects, EachMovesItsFirstFrameAsItsNameSaysAndLoops) {
    const int n = 128;
    const PixelRows square = markedSquare(n);
    const auto [mx, my] = markCentre(square);
    for (const EffectSpeed speed : {EffectSpeed::Slow, EffectSpeed::Normal, EffectSpeed::Fast}) {
        for (const Effect effect : {Effect::Party, Effect::Shake, Effect::Spin, Effect::Pulse}) {
            const EffectTiming timing = effectTiming(effect, speed);
            // Within a chat service's frame cap, a GIF's own delays, and a loop that returns.
            EXPECT_LE(timing.frames, 50);
            EXPECT_GE(timing.delayMs, 20);
            EXPECT_EQ(timing.delayMs % 10, 0);
            EXPECT_EQ(effectFrame(square, effect, 0, timing.frames).bytes,
                      effectFrame(square, effect, timing.frames, timing.frames).bytes);
        }
    }
    // Spin: the mark goes round the centre, most of a turn over the loop, at the same distance.
    std::set<int> quadrants;
    const double radius = std::hypot(mx, my);
    for (int i = 0; i < 16; ++i) {
        const auto [x, y] = markCentre(effectFrame(square, Effect::Spin, i, 16));
        EXPECT_NEAR(std::hypot(x, y), radius, 2.0) << i;
        quadrants.insert((x > 0) * 2 + (y > 0));
    }
    EXPECT_EQ(quadrants.size(), 4u);
    // Shake: moved by a few pixels, in several directions.
    std::set<std::pair<int, int>> directions;
    for (int i = 1; i < 8; ++i) {
        const auto [x, y] = markCentre(effectFrame(square, Effect::Shake, i, 8));
        const double moved = std::hypot(x - mx, y - my);
        EXPECT_GT(moved, 1.0) << i;
        EXPECT_LT(moved, 8.0) << i;
        directions.insert({x > mx, y > my});
    }
    EXPECT_GE(directions.size(), 3u);
    // Pulse: the mark's distance from the centre grows and shrinks with the picture.
    double nearest = 1e9, farthest = 0;
    for (int i = 0; i < 16; ++i) {
        const auto [x, y] = markCentre(effectFrame(square, Effect::Pulse, i, 16));
        nearest = std::min(nearest, std::hypot(x, y));
        farthest = std::max(farthest, std::hypot(x, y));
    }
    // ...by about an eighth either way: a pulse, not a throb that throws the edges out of the square.
    EXPECT_LT(nearest, radius * 0.93);
    EXPECT_GT(farthest, radius * 1.07);
    EXPECT_GT(nearest, radius * 0.85);
    EXPECT_LT(farthest, radius * 1.15);
    // Party: the mean hue goes round most of the colour circle.
    std::set<int> sextants;
    for (int i = 0; i < 16; ++i)
        sextants.insert(int(std::floor((meanHue(effectFrame(square, Effect::Party, i, 16)) + 180) / 60)) % 6);
    EXPECT_GE(sextants.size(), 5u);
}

// Over an animation the effect runs whole loops, as many as its pace fits (at least one), so that
// the animation still loops without a jump; a shake's phases keep its jumps in their order.
TEST(Effects, OverAnAnimationTheEffectRunsWholeLoopsAtItsOwnPace) {
    // Normal party: a loop of 800 ms; 2,000 ms hold three (2.5 rounded away from zero), 300 ms
    // one, 10 s thirteen.
    for (const auto& [length, loops] : {std::pair{qint64(2000), 3}, std::pair{qint64(300), 1}, std::pair{qint64(10'000), 13}}) {
        SCOPED_TRACE(length);
        EXPECT_DOUBLE_EQ(effectPhase(Effect::Party, EffectSpeed::Normal, 0, length), 0.0);
        const double nearEnd = effectPhase(Effect::Party, EffectSpeed::Normal, length - 1, length);
        EXPECT_GT(nearEnd, 0.9);
        // One loop on, the phase is back where it began.
        const double oneLoopOn = effectPhase(Effect::Party, EffectSpeed::Normal, length / loops, length);
        EXPECT_LT(std::min(oneLoopOn, 1.0 - oneLoopOn), 0.01);
        const double quarter = effectPhase(Effect::Party, EffectSpeed::Normal, length / loops / 4, length);
        EXPECT_NEAR(quarter, 0.25, 0.01);
    }
    // Faster runs more loops in the same length.
    EXPECT_GT(effectPhase(Effect::Spin, EffectSpeed::Fast, 100, 4000), effectPhase(Effect::Spin, EffectSpeed::Slow, 100, 4000));
    // The phase of frame i of 8 shows the shake's jump i.
    const PixelRows square = [] {
        PixelRows rows{32, 32, 4, std::vector<std::uint8_t>(32 * 32 * 4, 0)};
        for (int y = 12; y < 20; ++y)
            for (int x = 12; x < 20; ++x)
                std::fill_n(rows.row(y) + x * 4, 4, std::uint8_t(255));
        return rows;
    }();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(effectFrameAt(square, Effect::Shake, i / 8.0).bytes, effectFrame(square, Effect::Shake, i, 8).bytes) << i;
}

// Over an animation, frames come at least as often as the effect's own, so that two long frames
// still spin and a GIF of "as fast as possible" delays still moves; a clip's frames, already as
// frequent, each stay once; the length is kept and the cap holds.
TEST(Effects, StepsOverAnAnimationComeAsOftenAsTheEffectsOwnFrames) {
    const auto total = [](const std::vector<EffectStep>& steps) {
        long long sum = 0;
        for (const EffectStep& step : steps)
            sum += step.delayMs;
        return sum;
    };
    // Two frames of 400 ms, a fast spin (a turn in 400 ms): the turn is seen in both.
    const auto twoLong = effectSteps({400, 400}, Effect::Spin, EffectSpeed::Fast, 100);
    ASSERT_GE(twoLong.size(), 16u);
    EXPECT_EQ(total(twoLong), 800);
    EXPECT_EQ(twoLong.front().source, 0);
    EXPECT_EQ(twoLong.back().source, 1);
    std::set<long long> phases;
    for (const EffectStep& step : twoLong)
        phases.insert(std::llround(step.phase * 1000));
    EXPECT_GE(phases.size(), 8u);
    // Delays of 0 play at 100 ms each, and the effect still turns over them.
    const auto fastest = effectSteps(std::vector<int>(8, 0), Effect::Spin, EffectSpeed::Normal, 100);
    EXPECT_EQ(total(fastest), 800);
    EXPECT_GT(std::count_if(fastest.begin(), fastest.end(), [](const EffectStep& s) { return s.phase > 0.01; }), 4);
    // A clip's 75 frames of 40 ms under a party (50 ms frames): each frame once, as it was.
    const auto clip = effectSteps(std::vector<int>(75, 40), Effect::Party, EffectSpeed::Normal, 100);
    ASSERT_EQ(clip.size(), 75u);
    for (size_t i = 0; i < clip.size(); ++i) {
        EXPECT_EQ(clip[i].source, int(i));
        EXPECT_EQ(clip[i].delayMs, 40);
    }
    // The cap: two frames of 10 s never make more steps than allowed, and keep their 20 s.
    const auto capped = effectSteps({10'000, 10'000}, Effect::Pulse, EffectSpeed::Fast, 32);
    EXPECT_EQ(capped.size(), 32u);
    EXPECT_EQ(total(capped), 20'000);
}

TEST(Effects, NamesReadAsTheCommandLineWritesThem) {
    for (const Effect effect : {Effect::None, Effect::Party, Effect::Shake, Effect::Spin, Effect::Pulse})
        EXPECT_EQ(effectNamed(effectId(effect)), effect);
    EXPECT_FALSE(effectNamed(QStringLiteral("Party")));
    EXPECT_FALSE(effectNamed(QStringLiteral("sparkle")));
    EXPECT_EQ(effectSpeedNamed(QStringLiteral("fast")), EffectSpeed::Fast);
}
