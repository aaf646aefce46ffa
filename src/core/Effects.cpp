#include "Effects.h"

#include "core/Animation.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace cropling {

namespace {

constexpr double kTau = 6.283185307179586;

std::uint8_t toByte(double value) { return std::uint8_t(std::lround(std::clamp(value, 0.0, 255.0))); }

// Samples the square at (x, y) bilinearly in premultiplied light, transparent outside it.
std::array<double, 4> sample(const PixelRows& square, double x, double y) {
    std::array<double, 4> sum{};
    const int x0 = int(std::floor(x - 0.5)), y0 = int(std::floor(y - 0.5));
    const double fx = x - 0.5 - x0, fy = y - 0.5 - y0;
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
            const int sx = x0 + dx, sy = y0 + dy;
            if (sx < 0 || sy < 0 || sx >= square.width || sy >= square.height)
                continue;
            const double weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
            const std::uint8_t* p = square.row(sy) + size_t(sx) * 4;
            const double alpha = p[3] / 255.0;
            for (int b = 0; b < 3; ++b)
                sum[size_t(b)] += weight * p[b] * alpha;
            sum[3] += weight * p[3];
        }
    }
    return sum;
}

// The square mapped through an inverse transform: each output pixel reads where `from` says.
template <typename From>
PixelRows mapped(const PixelRows& square, From from) {
    PixelRows out{square.width, square.height, 4, std::vector<std::uint8_t>(square.bytes.size())};
    for (int y = 0; y < square.height; ++y) {
        std::uint8_t* row = out.row(y);
        for (int x = 0; x < square.width; ++x, row += 4) {
            const auto [sx, sy] = from(x + 0.5, y + 0.5);
            const auto p = sample(square, sx, sy);
            const double alpha = p[3] / 255.0;
            for (int b = 0; b < 3; ++b)
                row[b] = toByte(alpha > 0 ? p[size_t(b)] / alpha : 0.0);
            row[3] = toByte(p[3]);
        }
    }
    return out;
}

// The party colours: the picture's light tinted by a fully saturated hue, half and half, so that
// grey and colourful pictures alike turn round the whole colour circle.
PixelRows party(const PixelRows& square, double turn) {
    PixelRows out = square;
    const double h = turn * 6.0;
    const auto channel = [h](double n) {
        const double k = std::fmod(n + h, 6.0);
        return 1.0 - std::clamp(std::min(k, 4.0 - k), 0.0, 1.0);
    };
    const double tint[3] = {channel(5), channel(3), channel(1)};
    for (int y = 0; y < square.height; ++y) {
        std::uint8_t* p = out.row(y);
        for (int x = 0; x < square.width; ++x, p += 4) {
            const double light = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
            for (int b = 0; b < 3; ++b) {
                const double coloured = 255.0 * std::min(1.0, (0.25 + 1.1 * light) * tint[b]);
                p[b] = std::uint8_t(std::lround(0.4 * p[b] + 0.6 * coloured));
            }
        }
    }
    return out;
}

} // namespace

QString effectId(Effect effect) {
    switch (effect) {
    case Effect::None: return QStringLiteral("none");
    case Effect::Party: return QStringLiteral("party");
    case Effect::Shake: return QStringLiteral("shake");
    case Effect::Spin: return QStringLiteral("spin");
    case Effect::Pulse: return QStringLiteral("pulse");
    }
    return {};
}

std::optional<Effect> effectNamed(const QString& id) {
    for (const Effect effect : {Effect::None, Effect::Party, Effect::Shake, Effect::Spin, Effect::Pulse}) {
        if (effectId(effect) == id)
            return effect;
    }
    return std::nullopt;
}

QString effectIds() { return QStringLiteral("party, shake, spin, pulse"); }

QString effectSpeedId(EffectSpeed speed) {
    switch (speed) {
    case EffectSpeed::Slow: return QStringLiteral("slow");
    case EffectSpeed::Normal: return QStringLiteral("normal");
    case EffectSpeed::Fast: return QStringLiteral("fast");
    }
    return {};
}

std::optional<EffectSpeed> effectSpeedNamed(const QString& id) {
    for (const EffectSpeed speed : {EffectSpeed::Slow, EffectSpeed::Normal, EffectSpeed::Fast}) {
        if (effectSpeedId(speed) == id)
            return speed;
    }
    return std::nullopt;
}

EffectTiming effectTiming(Effect effect, EffectSpeed speed) {
    // A loop of 1.6 s, 0.8 s or 0.4 s (shake: a jump every 40 to 80 ms), within 50 frames.
    const int loopMs = speed == EffectSpeed::Slow ? 1600 : speed == EffectSpeed::Normal ? 800 : 400;
    switch (effect) {
    case Effect::None: return {1, 0};
    case Effect::Shake: return {8, speed == EffectSpeed::Slow ? 80 : speed == EffectSpeed::Normal ? 60 : 40};
    case Effect::Party:
    case Effect::Spin:
    case Effect::Pulse: {
        const int frames = speed == EffectSpeed::Fast ? 10 : 16;
        return {frames, loopMs / frames / 10 * 10};
    }
    }
    return {1, 0};
}

PixelRows effectFrame(const PixelRows& square, Effect effect, int index, int count) {
    return effectFrameAt(square, effect, count > 0 ? double(index % count) / count : 0.0);
}

double effectPhase(Effect effect, EffectSpeed speed, qint64 atMs, qint64 lengthMs) {
    const EffectTiming timing = effectTiming(effect, speed);
    const double loopMs = double(timing.frames) * timing.delayMs;
    if (lengthMs <= 0 || loopMs <= 0)
        return 0.0;
    const double loops = std::max(1.0, std::round(double(lengthMs) / loopMs));
    const double phase = std::fmod(double(atMs) / double(lengthMs) * loops, 1.0);
    return phase < 0 ? phase + 1.0 : phase;
}

std::vector<EffectStep> effectSteps(const std::vector<int>& delaysMs, Effect effect, EffectSpeed speed, int maxSteps) {
    std::vector<qint64> starts;
    qint64 lengthMs = 0;
    for (const int delay : delaysMs) {
        starts.push_back(lengthMs);
        lengthMs += shownDelay(delay);
    }
    const int count = int(delaysMs.size());
    if (count == 0)
        return {};
    const EffectTiming timing = effectTiming(effect, speed);
    const qint64 wanted = timing.delayMs > 0 ? (lengthMs + timing.delayMs - 1) / timing.delayMs : count;
    const int steps = int(std::clamp<qint64>(wanted, count, std::max(count, maxSteps)));
    // Step j starts at j/steps of the length, on a hundredth of a second as a GIF keeps time.
    const auto startOf = [&](int j) { return j == steps ? lengthMs : (lengthMs * j / steps + 5) / 10 * 10; };
    std::vector<EffectStep> out;
    int source = 0;
    for (int j = 0; j < steps; ++j) {
        const qint64 at = startOf(j);
        while (source + 1 < count && starts[size_t(source) + 1] <= at)
            ++source;
        out.push_back({source, effectPhase(effect, speed, at, lengthMs), int(startOf(j + 1) - at)});
    }
    return out;
}

PixelRows effectFrameAt(const PixelRows& square, Effect effect, double phase) {
    phase = std::isfinite(phase) ? phase - std::floor(phase) : 0.0;
    const double cx = square.width / 2.0, cy = square.height / 2.0;
    switch (effect) {
    case Effect::None: return square;
    case Effect::Party: return party(square, phase);
    case Effect::Shake: {
        // Jumps of up to a 32nd of the side, in every direction in turn, ending where they began.
        static constexpr std::array<std::array<double, 2>, 8> jumps = {
            {{0, 0}, {1, -0.6}, {-0.8, 0.9}, {0.5, 1}, {-1, -0.4}, {0.9, 0.5}, {-0.4, -1}, {0.2, 0.8}}};
        const double amplitude = square.width / 32.0;
        const auto& jump = jumps[std::min(jumps.size() - 1, size_t(phase * double(jumps.size()) + 1e-9))];
        return mapped(square, [&](double x, double y) { return std::pair(x - jump[0] * amplitude, y - jump[1] * amplitude); });
    }
    case Effect::Spin: {
        const double angle = kTau * phase, c = std::cos(angle), s = std::sin(angle);
        return mapped(square, [&](double x, double y) {
            const double dx = x - cx, dy = y - cy;
            return std::pair(cx + c * dx + s * dy, cy - s * dx + c * dy);
        });
    }
    case Effect::Pulse: {
        const double scale = 1.0 + 0.12 * std::sin(kTau * phase);
        return mapped(square, [&](double x, double y) { return std::pair(cx + (x - cx) / scale, cy + (y - cy) / scale); });
    }
    }
    return square;
}

void drawOver(PixelRows* frame, const PixelRows& overlay) {
    if (overlay.width != frame->width || overlay.height != frame->height || overlay.bands != 4 || frame->bands != 4)
        return;
    for (int y = 0; y < frame->height; ++y) {
        std::uint8_t* p = frame->row(y);
        const std::uint8_t* o = overlay.row(y);
        for (int x = 0; x < frame->width; ++x, p += 4, o += 4) {
            const double a = o[3] / 255.0, under = p[3] / 255.0;
            const double alpha = a + under * (1 - a);
            if (alpha <= 0)
                continue;
            for (int b = 0; b < 3; ++b)
                p[b] = std::uint8_t(std::lround((o[b] * a + p[b] * under * (1 - a)) / alpha));
            p[3] = std::uint8_t(std::lround(alpha * 255));
        }
    }
}

} // namespace cropling
