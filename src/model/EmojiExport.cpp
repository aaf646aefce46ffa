#include "EmojiExport.h"

#include "core/StatusText.h"
#include "image/EmojiRenderer.h"

namespace cropling {

bool exportsGif(const Picture* picture, ExportFormat format) {
    return format == ExportFormat::Gif || (format == ExportFormat::Auto && picture && picture->isAnimated());
}

ExportOutcome exportEmoji(const Picture* picture, double zoom, QPointF offset, const ExportRequest& request) {
    ExportOutcome outcome;
    if (!exportsGif(picture, request.format)) {
        auto png = renderEmojiPNG(picture, zoom, offset, request.side, &outcome.why);
        if (png)
            outcome.emoji = ExportedEmoji{std::move(*png), false, 1};
    } else {
        GifOutcome gif = renderEmojiGIF(picture, zoom, offset, request.side, request.maxBytes);
        outcome.why = gif.unreadable;
        if (gif.gif)
            outcome.emoji = ExportedEmoji{std::move(gif.gif->bytes), true, gif.gif->frames};
        else if (gif.overBudget)
            outcome.failure = ExportFailure::OverBudget;
    }
    if (!outcome.emoji && outcome.why)
        outcome.failure = ExportFailure::Unreadable;
    return outcome;
}

QString exportFailureMessage(const ExportOutcome& outcome, const QString& fileName, long long maxBytes) {
    switch (outcome.failure) {
    case ExportFailure::Unreadable: return couldNotOpenMessage(fileName, outcome.why);
    case ExportFailure::OverBudget: return overBudgetMessage(maxBytes);
    case ExportFailure::ShowsNothing: break;
    }
    return renderFailedMessage();
}

} // namespace cropling
