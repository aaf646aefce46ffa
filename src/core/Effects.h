#pragma once

// Reaction effects that turn a still emoji into a looping animation: party (the hue turns once
// round the colour circle per loop), shake (small jumps in several directions, "intensifies"),
// spin (a full turn per loop about the centre) and pulse (growing and shrinking about the centre).
// Each is computed on the emoji's own square, so a frame costs what 128 x 128 pixels cost, and the
// last frame leads back into the first.

#include "core/Resample.h"

#include <QString>

#include <optional>
#include <vector>

namespace cropling {

enum class Effect { None, Party, Shake, Spin, Pulse };
enum class EffectSpeed { Slow, Normal, Fast };

// What the emoji does, and the caption drawn on every frame (empty: none).
struct EffectSettings {
    Effect effect = Effect::None;
    EffectSpeed speed = EffectSpeed::Normal;
    QString caption;
    bool captionAtTop = false;
    bool operator==(const EffectSettings&) const = default;
    // Whether the emoji is an animation of the still: an effect, or a caption on its own.
    bool animates() const { return effect != Effect::None; }
    bool changesStill() const { return effect != Effect::None || !caption.trimmed().isEmpty(); }
};

// "party", "shake", "spin", "pulse" (and "none"), as the command line names them.
QString effectId(Effect effect);
std::optional<Effect> effectNamed(const QString& id);
QString effectIds(); // "party, shake, spin, pulse"
QString effectSpeedId(EffectSpeed speed);
std::optional<EffectSpeed> effectSpeedNamed(const QString& id);

// How many frames one loop has and how long each shows.
struct EffectTiming {
    int frames = 1;
    int delayMs = 0;
};
EffectTiming effectTiming(Effect effect, EffectSpeed speed);

// Frame `index` of `count` of the effect on an RGBA square (a still's rendered emoji): the same
// size, transparent where the moved picture leaves the square.
PixelRows effectFrame(const PixelRows& square, Effect effect, int index, int count);
// The effect at `phase` (0 to 1) of its loop: what frame `index` of `count` shows at index/count.
PixelRows effectFrameAt(const PixelRows& square, Effect effect, double phase);
// Where in its loop the effect is `atMs` into an animation that plays `lengthMs` once: a whole
// number of loops, the nearest to the effect's own pace (at least one), fills the animation, so
// that it still loops without a jump.
double effectPhase(Effect effect, EffectSpeed speed, qint64 atMs, qint64 lengthMs);

// The frames of an animation with an effect over it: which of its frames each shows, at what
// phase of the effect, and for how long. Frames come at least as often as the effect's own (a
// frame shown longer is shown several times, each a step further on), at most `maxSteps` of them
// and never fewer than the animation has; delays are read as players read them (shownDelay) and
// together keep the animation's length.
struct EffectStep {
    int source = 0;
    double phase = 0;
    int delayMs = 0;
};
std::vector<EffectStep> effectSteps(const std::vector<int>& delaysMs, Effect effect, EffectSpeed speed, int maxSteps);

// A caption's pixels (RGBA, the square's size, transparent around the text) drawn over a frame.
void drawOver(PixelRows* frame, const PixelRows& overlay);

} // namespace cropling
