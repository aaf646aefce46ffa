#include "EffectExport.h"

#include "core/Animation.h"
#include "image/EmojiRenderer.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"
#include "image/shared/PngWriter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace cropling {

namespace {

// Room for `count` frames of n x n RGBA, kept alive by the frames that point into it.
std::optional<RgbaFrames> framesWithRoom(int n, int count) {
    const size_t frameBytes = size_t(n) * size_t(n) * 4;
    auto* memory = static_cast<std::uint8_t*>(std::malloc(frameBytes * size_t(std::max(count, 1))));
    if (!memory)
        return std::nullopt;
    RgbaFrames frames;
    frames.memory = std::shared_ptr<void>(memory, std::free);
    frames.size = QSize(n, n);
    for (int i = 0; i < count; ++i)
        frames.frames.push_back(memory + frameBytes * size_t(i));
    return frames;
}

// Frame `i` of `frames`: a square as the effect moved it, with the caption over it.
void place(RgbaFrames* frames, size_t i, PixelRows frame, const std::optional<PixelRows>& caption) {
    if (caption)
        drawOver(&frame, *caption);
    std::memcpy(const_cast<std::uint8_t*>(frames->frames[i]), frame.bytes.data(), frame.bytes.size());
}

// The effect and the caption over the squares of an animation, timed as it is: the effect's loops
// fill its length, and a square shown longer than the effect's own frames is shown several times,
// each a step further on.
std::optional<RgbaFrames> effectOverFrames(const RgbaFrames& squares, const EffectSettings& effect,
                                           const std::optional<PixelRows>& caption) {
    const int n = squares.size.width();
    const size_t frameBytes = size_t(n) * size_t(n) * 4;
    const std::vector<EffectStep> steps = effectSteps(squares.delaysMs, effect.effect, effect.speed, squaresWithin(n));
    auto frames = framesWithRoom(n, int(steps.size()));
    if (!frames)
        return std::nullopt;
    frames->loop = squares.loop;
    frames->sourceFrames = squares.sourceFrames > 0 ? squares.sourceFrames : int(squares.frames.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::uint8_t* from = squares.frames[size_t(steps[i].source)];
        const PixelRows square{n, n, 4, std::vector<std::uint8_t>(from, from + frameBytes)};
        place(&*frames, i, effectFrameAt(square, effect.effect, steps[i].phase), caption);
        frames->delaysMs.push_back(steps[i].delayMs);
    }
    return frames;
}

} // namespace

std::optional<RgbaFrames> effectFrames(const Picture* picture, const Framing& framing, int n, const EffectSettings& effect,
                                       std::optional<OpenFailure>* why, int maxFrames) {
    const VipsLayer* layer = VipsLayer::get();
    if (!layer || !picture)
        return std::nullopt;
    const std::optional<PixelRows> caption = layer->captionOverlay(effect.caption, n, effect.captionAtTop);
    // An animation or a clip's span carries the effect on every frame.
    if (picture->isAnimated()) {
        const auto squares = picture->renderFrames(framing, n, maxFrames, why);
        return squares ? effectOverFrames(*squares, effect, caption) : std::nullopt;
    }
    const auto png = renderEmojiPNG(picture, framing, n, why);
    const auto still = png ? layer->frameOfPng(*png) : std::nullopt;
    if (!still || still->size != QSize(n, n))
        return std::nullopt;
    const size_t frameBytes = size_t(n) * size_t(n) * 4;
    const PixelRows square{n, n, 4, std::vector<std::uint8_t>(still->frames.front(), still->frames.front() + frameBytes)};
    const EffectTiming timing = effectTiming(effect.effect, effect.speed);
    auto frames = framesWithRoom(n, timing.frames);
    if (!frames)
        return std::nullopt;
    for (int i = 0; i < timing.frames; ++i) {
        place(&*frames, size_t(i), effectFrame(square, effect.effect, i, timing.frames), caption);
        frames->delaysMs.push_back(timing.delayMs);
    }
    return frames;
}

ExportOutcome exportWithEffect(const Picture* picture, const Framing& framing, const ExportRequest& request,
                               Progress* progress) {
    ExportOutcome outcome;
    // A PNG asked for is the first frame; a still with a caption alone stays a still.
    const bool asStill = request.format == ExportFormat::Png ||
                     (!request.effect.animates() && request.format != ExportFormat::Gif && !(picture && picture->isAnimated()));
    const Picture* first = asStill && picture && picture->hasFrames() ? &picture->frame(0) : picture;
    const auto frames = effectFrames(first, framing, request.side, request.effect, &outcome.why,
                                     asStill ? 1 : request.limits.maxFrames);
    if (frames && asStill) {
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
        const auto gif = VipsLayer::get()->encodeGif(*frames, request.limits, progress);
        if (gif)
            outcome.emoji = ExportedEmoji{gif->bytes, true, gif->frames,
                                          frames->sourceFrames > 0 ? frames->sourceFrames : int(frames->frames.size())};
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
