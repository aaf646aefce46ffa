#include "EmojiExport.h"

#include "core/StatusText.h"
#include "image/EmojiRenderer.h"
#include "model/EffectExport.h"

namespace cropling {

bool exportsGif(const Picture* picture, ExportFormat format, const EffectSettings& effect) {
    return format == ExportFormat::Gif ||
           (format == ExportFormat::Auto && ((picture && picture->isAnimated()) || effect.animates()));
}

ExportOutcome exportEmoji(const Picture* picture, const Framing& framing, const ExportRequest& request, Progress* progress) {
    ExportOutcome outcome;
    if (progress && progress->cancelled()) {
        outcome.failure = ExportFailure::Cancelled;
        return outcome;
    }
    if (request.effect.changesStill()) {
        outcome = exportWithEffect(picture, framing, request, progress);
    } else if (!exportsGif(picture, request.format)) {
        auto png = renderEmojiPNG(picture, framing, request.side, &outcome.why);
        if (png)
            outcome.emoji = ExportedEmoji{std::move(*png), false, 1, 1};
    } else {
        GifOutcome gif = renderEmojiGIF(picture, framing, request.side, request.limits, progress);
        outcome.why = gif.why;
        if (gif.gif)
            outcome.emoji = ExportedEmoji{std::move(gif.gif->bytes), true, gif.gif->frames, gif.gif->sourceFrames};
        else if (gif.cancelled)
            outcome.failure = ExportFailure::Cancelled;
        else if (gif.overBudget)
            outcome.failure = ExportFailure::OverBudget;
    }
    if (!outcome.emoji && outcome.why)
        outcome.failure = ExportFailure::Unreadable;
    if (progress && outcome.emoji)
        progress->report(1);
    return outcome;
}

QString describe(const ExportOutcome& outcome) {
    switch (outcome.failure) {
    case ExportFailure::NotOpened:
    case ExportFailure::Unreadable: return couldNotOpenMessage(outcome.input, outcome.why, outcome.codec);
    case ExportFailure::NotFramed: return autoFrameFailedMessage(outcome.detail);
    case ExportFailure::NoBackground: return noBackgroundMessage();
    case ExportFailure::OverBudget: return overBudgetMessage(outcome.maxBytes);
    case ExportFailure::SpanPastEnd: return spanPastEndMessage(outcome.input, outcome.detail);
    case ExportFailure::Cancelled: return QString();
    case ExportFailure::ShowsNothing: break;
    }
    return renderFailedMessage();
}

QString describeWithInput(const ExportOutcome& outcome) {
    const bool named = outcome.failure == ExportFailure::NotOpened || outcome.failure == ExportFailure::Unreadable ||
                       outcome.failure == ExportFailure::SpanPastEnd;
    return named || outcome.input.isEmpty() ? describe(outcome) : outcome.input + QStringLiteral(": ") + describe(outcome);
}

} // namespace cropling
