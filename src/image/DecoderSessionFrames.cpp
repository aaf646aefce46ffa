// The frames of an animation and their rendered squares, as the helper sends them back: one
// buffer of delays and pixels that the images lie in.

#include "DecoderSession.h"

#include "core/Animation.h"
#include "image/DecoderReply.h"
#include "wire/DecoderWire.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace cropling {

using wire::ReplyHead;
using wire::Request;
using wire::Task;

namespace {

// The frames of a reply over its payload, which they keep.
std::optional<RgbaFrames> frameBlock(void* payload, const ReplyHead& h) {
    RgbaFrames block;
    block.memory = std::shared_ptr<void>(payload, std::free);
    const char* bytes = static_cast<const char*>(payload);
    auto delays = wire::checkedDelays(bytes, h.frames);
    if (!delays)
        return std::nullopt;
    block.delaysMs = std::move(*delays);
    block.loop = h.loop;
    block.size = QSize(h.width, h.height);
    // Only said in a message, and never fewer than came or more than an animation may have.
    block.sourceFrames = h.sourceFrames > 0 ? std::clamp(h.sourceFrames, h.frames, kMaxFrames) : 0;
    const size_t frameBytes = size_t(h.width) * size_t(h.height) * 4;
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(bytes + sizeof(int) * size_t(h.frames));
    for (int i = 0; i < h.frames; ++i)
        block.frames.push_back(pixels + frameBytes * size_t(i));
    return block;
}

} // namespace

Outcome<std::shared_ptr<const Picture>> DecoderSession::frames(int side, int turn) {
    Request request;
    request.task = Task::Frames;
    request.side = side;
    request.turn = turn;
    return framesOf(request);
}

Outcome<std::shared_ptr<const Picture>> DecoderSession::thumbnails(int count, int side, int turn) {
    if (!clip_ || count < 2)
        return {};
    Request request;
    request.task = Task::Frames;
    request.side = side;
    request.turn = turn;
    // Evenly over the clip, each frame from the middle of its stretch.
    const qint64 length = std::max<qint64>(clipMs_, kMinSpanMs);
    request.clipStepMs = int(std::max<qint64>(1, length / count));
    request.clipStartMs = request.clipStepMs / 2;
    request.clipDelayMs = 100;
    request.clipFrames = count;
    return framesOf(request);
}

Outcome<std::shared_ptr<const Picture>> DecoderSession::framesOf(const Request& request) {
    std::optional<OpenFailure> failure;
    auto reply = ask(request, &failure);
    if (!reply)
        return {std::nullopt, failure};
    const auto block = frameBlock(std::exchange(reply->payload, nullptr), reply->head);
    const VipsLayer* layer = VipsLayer::get();
    if (!block || !layer)
        return {std::nullopt, OpenFailure::Damaged};
    auto picture = layer->animated(*block, QSize(reply->head.fullWidth, reply->head.fullHeight));
    if (!picture)
        return {std::nullopt, OpenFailure::TooLarge};
    return {std::move(picture), std::nullopt};
}

Outcome<RgbaFrames> DecoderSession::renderFrames(const Framing& framing, int side, int turn, int maxFrames) {
    if (side < 1 || side > wire::kMaxRenderSide)
        return {};
    std::optional<OpenFailure> failure;
    Request request = squareRequest(Task::RenderFrames, framing, side, turn);
    request.maxFrames = maxFrames;
    auto reply = ask(request, &failure);
    if (!reply)
        return {std::nullopt, failure};
    // The squares lie in the reply's buffer, which they keep.
    auto block = frameBlock(std::exchange(reply->payload, nullptr), reply->head);
    if (!block)
        return {std::nullopt, OpenFailure::Damaged};
    return {std::move(block), std::nullopt};
}

} // namespace cropling
