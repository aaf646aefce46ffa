#pragma once

// The part of a video clip that becomes an animated emoji: where it starts and ends in the clip,
// how fast it plays, and the frames taken from it. Shared by the program, which chooses the span,
// and the video helper, which decodes just that part.

#include <QByteArray>
#include <QString>

#include <optional>

namespace cropling {

struct ClipSpan {
    qint64 startMs = 0;
    qint64 endMs = 0;
    double speed = 1.0; // 0.5 to 2: how much faster than the clip the emoji plays
    bool operator==(const ClipSpan&) const = default;
    qint64 lengthMs() const { return endMs - startMs; }
    // How long the emoji plays once.
    qint64 playedMs() const { return qint64(double(lengthMs()) / speed + 0.5); }
};

inline constexpr double kMinClipSpeed = 0.5;
inline constexpr double kMaxClipSpeed = 2.0;
// What a clip opens with: its first seconds, as many as an emoji holds with smooth motion.
inline constexpr qint64 kDefaultSpanMs = 3000;
// The shortest span: a few frames.
inline constexpr qint64 kMinSpanMs = 100;
// The most frames taken from a span, however long: enough for smooth motion over a few seconds,
// which the GIF's own frame budget then thins.
inline constexpr int kMaxSpanFrames = 150;

// The span a clip of `durationMs` (0: unknown) opens with.
ClipSpan defaultSpan(qint64 durationMs);
// The span kept to the clip and to what an animation may be: the speed within its range, the end
// after the start by at least kMinSpanMs, inside the clip when its length is known, and played in
// no more than an animation's longest play.
ClipSpan clampedSpan(ClipSpan span, qint64 durationMs);

// The span asked for by its start and end (either may be left out: from the clip's start, for as
// long as the default span), kept to the clip.
ClipSpan requestedSpan(std::optional<qint64> startMs, std::optional<qint64> endMs, double speed, qint64 durationMs);

// How the frames of a span are taken: one every `stepMs` of the clip from its start, each shown
// for `delayMs` (a whole number of hundredths, as a GIF stores it, and never below 20 ms, which
// players would stretch), `frames` of them.
struct FrameSampling {
    int stepMs = 0;
    int delayMs = 0;
    int frames = 0;
};
// The frames of a span of a clip whose frames come every `sourceFrameMs` (0: unknown): as often as
// the clip has them, no more often than the delays allow, and no more than kMaxSpanFrames.
FrameSampling frameSampling(const ClipSpan& span, int sourceFrameMs);

// A time in the clip as people write it: seconds ("1.5"), or minutes and seconds ("1:02.5"), or
// hours too ("1:02:03"). Nothing for anything else, a negative time or one beyond a day.
std::optional<qint64> parseClipTime(const QByteArray& text);
// "0:01.5", "1:02:03.0": minutes and seconds to a tenth, hours when there are any.
QString clipTimeText(qint64 ms);

} // namespace cropling
