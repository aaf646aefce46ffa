#include "EmojiRenderer.h"

#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"

namespace cropling {

std::optional<QByteArray> renderEmojiPNG(const Picture* picture, const Framing& framing, int outputSize,
                                         std::optional<OpenFailure>* failure) {
    std::optional<OpenFailure> ignored;
    if (!failure)
        failure = &ignored;
    failure->reset();
    if (!picture || outputSize < 1 || outputSize > kMaxOutputSize)
        return std::nullopt;
    // A picture a helper holds is rendered there: this process needs nothing of libvips for it.
    if (DecoderSession* session = picture->session()) {
        auto rendered = session->render(framing, outputSize);
        *failure = rendered.failure;
        return std::move(rendered.value);
    }
    const VipsLayer* layer = VipsLayer::get();
    return layer ? layer->renderPng(*picture, framing, outputSize, failure) : std::nullopt;
}

GifOutcome renderEmojiGIF(const Picture* picture, const Framing& framing, int outputSize, const GifLimits& limits,
                          Progress* progress) {
    GifOutcome outcome;
    const VipsLayer* layer = VipsLayer::get();
    if (!picture || !layer || outputSize < 1 || outputSize > kMaxOutputSize)
        return outcome;
    std::optional<RgbaFrames> frames;
    if (DecoderSession* session = picture->session(); session && picture->isAnimated()) {
        auto rendered = session->renderFrames(framing, outputSize);
        outcome.unreadable = rendered.failure;
        frames = std::move(rendered.value);
    } else if (picture->isAnimated()) {
        frames = layer->renderFrames(*picture, framing, outputSize);
    } else {
        // A still is a GIF of one frame, rendered as its PNG is.
        const auto png = renderEmojiPNG(picture, framing, outputSize, &outcome.unreadable);
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
    outcome.gif = EmojiGif{std::move(gif->bytes), gif->frames, int(frames->frames.size())};
    return outcome;
}

} // namespace cropling
