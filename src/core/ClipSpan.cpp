#include "ClipSpan.h"

#include "core/Animation.h"
#include "core/NumberSyntax.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

constexpr qint64 kDayMs = 24LL * 3600 * 1000;

int roundedUpToHundredths(double ms) { return int(std::ceil(ms / 10.0 - 1e-9)) * 10; }

} // namespace

ClipSpan defaultSpan(qint64 durationMs) {
    return clampedSpan({0, durationMs > 0 ? std::min(durationMs, kDefaultSpanMs) : kDefaultSpanMs, 1.0}, durationMs);
}

ClipSpan clampedSpan(ClipSpan span, qint64 durationMs) {
    span.speed = std::isfinite(span.speed) ? std::clamp(span.speed, kMinClipSpeed, kMaxClipSpeed) : 1.0;
    const qint64 limit = durationMs > 0 ? durationMs : kDayMs;
    span.startMs = std::clamp<qint64>(span.startMs, 0, std::max<qint64>(0, limit - kMinSpanMs));
    // The longest span the speed lets an animation play.
    const qint64 longest = qint64(double(kMaxAnimationMs) * span.speed);
    // A clip shorter than the shortest span is taken whole.
    const qint64 highest = std::min(limit, span.startMs + longest);
    const qint64 lowest = std::min(highest, span.startMs + kMinSpanMs);
    span.endMs = std::clamp<qint64>(span.endMs, lowest, highest);
    return span;
}

ClipSpan requestedSpan(std::optional<qint64> startMs, std::optional<qint64> endMs, double speed, qint64 durationMs) {
    const qint64 start = startMs.value_or(0);
    return clampedSpan({start, endMs.value_or(start + kDefaultSpanMs), speed}, durationMs);
}

FrameSampling frameSampling(const ClipSpan& span, int sourceFrameMs) {
    const double played = double(span.lengthMs()) / span.speed;
    const double sourceDelay = sourceFrameMs > 0 ? sourceFrameMs / span.speed : 0.0;
    FrameSampling sampling;
    sampling.delayMs = std::max({20, roundedUpToHundredths(sourceDelay), roundedUpToHundredths(played / kMaxSpanFrames)});
    sampling.stepMs = std::max(1, int(std::lround(sampling.delayMs * span.speed)));
    sampling.frames = std::clamp(int(std::lround(double(span.lengthMs()) / sampling.stepMs)), 1, kMaxSpanFrames);
    return sampling;
}

std::optional<qint64> parseClipTime(const QByteArray& text) {
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() > 3)
        return std::nullopt;
    double seconds = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        // Whole minutes and hours; seconds may have a fraction. Only the first part may pass 59.
        const auto value = parseDecimal(parts[i]);
        if (!value || (!last && *value != std::floor(*value)) || (i > 0 && *value >= 60))
            return std::nullopt;
        seconds = seconds * 60 + *value;
    }
    const double ms = std::round(seconds * 1000);
    if (ms > double(kDayMs))
        return std::nullopt;
    return qint64(ms);
}

QString clipTimeText(qint64 ms) {
    const qint64 tenths = (std::max<qint64>(ms, 0) + 50) / 100;
    const qint64 hours = tenths / 36000, minutes = tenths / 600 % 60, seconds = tenths / 10 % 60, tenth = tenths % 10;
    const QString secondsText = QStringLiteral("%1.%2").arg(seconds, 2, 10, QChar(u'0')).arg(tenth);
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QChar(u'0')).arg(secondsText);
    return QStringLiteral("%1:%2").arg(minutes).arg(secondsText);
}

} // namespace cropling
