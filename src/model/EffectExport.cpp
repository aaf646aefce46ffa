#include "EffectExport.h"

#include "image/EmojiRenderer.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"
#include "image/shared/PngWriter.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <cstring>

namespace cropling {

std::optional<RgbaFrames> effectFrames(const Picture* picture, const Framing& framing, int n, const EffectSettings& effect,
                                       std::optional<OpenFailure>* why) {
    const VipsLayer* layer = VipsLayer::get();
    const auto png = renderEmojiPNG(picture, framing, n, why);
    if (!png || !layer)
        return std::nullopt;
    const auto still = layer->frameOfPng(*png);
    if (!still || still->size != QSize(n, n))
        return std::nullopt;
    const size_t frameBytes = size_t(n) * size_t(n) * 4;
    const PixelRows square{n, n, 4, std::vector<std::uint8_t>(still->frames.front(), still->frames.front() + frameBytes)};
    const std::optional<PixelRows> caption = layer->captionOverlay(effect.caption, n, effect.captionAtTop);
    const EffectTiming timing = effectTiming(effect.effect, effect.speed);
    auto* memory = static_cast<std::uint8_t*>(std::malloc(frameBytes * size_t(timing.frames)));
    if (!memory)
        return std::nullopt;
    RgbaFrames frames;
    frames.memory = std::shared_ptr<void>(memory, std::free);
    frames.size = QSize(n, n);
    for (int i = 0; i < timing.frames; ++i) {
        PixelRows frame = effectFrame(square, effect.effect, i, timing.frames);
        if (caption)
            drawOver(&frame, *caption);
        std::uint8_t* at = memory + frameBytes * size_t(i);
        std::memcpy(at, frame.bytes.data(), frameBytes);
        frames.frames.push_back(at);
        frames.delaysMs.push_back(timing.delayMs);
    }
    return frames;
}

ExportOutcome exportWithEffect(const Picture* picture, const Framing& framing, const ExportRequest& request,
                               Progress* progress) {
    QElapsedTimer clock;
    clock.start();
    ExportOutcome outcome;
    // An effect on an animation moves its first frame: the emoji is the still, moving.
    const Picture* still = picture && picture->isAnimated() && picture->hasFrames() ? &picture->frame(0) : picture;
    const auto frames = effectFrames(still, framing, request.side, request.effect, &outcome.why);
    if (frames && (request.format == ExportFormat::Png || (!request.effect.animates() && request.format != ExportFormat::Gif))) {
        // A caption alone keeps a still a PNG; a PNG asked for is the first frame.
        const PixelRows rows{request.side, request.side, 4,
                             std::vector<std::uint8_t>(frames->frames.front(),
                                                       frames->frames.front() + size_t(request.side) * size_t(request.side) * 4)};
        if (auto png = writePng(rows))
            outcome.emoji = ExportedEmoji{std::move(*png), false, 1, 1};
    } else if (frames) {
        if (progress && progress->cancelled()) {
            outcome.failure = ExportFailure::Cancelled;
            return outcome;
        }
        const auto gif = VipsLayer::get()->encodeGif(*frames, request.limits, progress, clock.elapsed());
        if (gif)
            outcome.emoji = ExportedEmoji{gif->bytes, true, gif->frames, int(frames->frames.size())};
        else if (progress && progress->cancelled())
            outcome.failure = ExportFailure::Cancelled;
        else
            outcome.failure = ExportFailure::OverBudget;
    }
    if (!outcome.emoji && outcome.why)
        outcome.failure = ExportFailure::Unreadable;
    return outcome;
}

} // namespace cropling
