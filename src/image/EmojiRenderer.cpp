#include "EmojiRenderer.h"

#include "image/Picture.h"
#include "image/VipsLayer.h"

namespace cropling {

std::optional<QByteArray> renderEmojiPNG(const Picture* picture, const Framing& framing, int outputSize,
                                         std::optional<OpenFailure>* why) {
    std::optional<OpenFailure> ignored;
    if (!why)
        why = &ignored;
    why->reset();
    if (!picture || outputSize < 1 || outputSize > kMaxOutputSize)
        return std::nullopt;
    // Rendered where the picture is held: a picture a helper holds needs nothing of libvips here.
    return picture->renderPng(framing, outputSize, why);
}

GifOutcome renderEmojiGIF(const Picture* picture, const Framing& framing, int outputSize, const GifLimits& limits,
                          Progress* progress) {
    GifOutcome outcome;
    const VipsLayer* layer = VipsLayer::get();
    if (!picture || !layer || outputSize < 1 || outputSize > kMaxOutputSize)
        return outcome;
    std::optional<RgbaFrames> frames;
    if (picture->isAnimated()) {
        frames = picture->renderFrames(framing, outputSize, limits.maxFrames, &outcome.why);
    } else {
        // A still is a GIF of one frame, rendered as its PNG is.
        const auto png = renderEmojiPNG(picture, framing, outputSize, &outcome.why);
        if (png)
            frames = layer->frameOfPng(*png);
    }
    if (!frames)
        return outcome;
    auto gif = layer->encodeGif(*frames, limits, progress);
    if (!gif) {
        outcome.cancelled = progress && progress->cancelled();
        outcome.overBudget = !outcome.cancelled;
        return outcome;
    }
    outcome.gif = EmojiGif{std::move(gif->bytes), gif->frames, frames->sourceFrames > 0 ? frames->sourceFrames : int(frames->frames.size())};
    return outcome;
}

} // namespace cropling
