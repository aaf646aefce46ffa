// The frames of an animation and their rendered squares, as the helper sends them back: one
// buffer of delays and pixels that the images lie in.

#include "DecoderSession.h"

#include "image/DecoderReply.h"
#include "image/DecoderWire.h"
#include "image/GifEncoder.h"
#include "image/Picture.h"
#include "image/VipsRuntime.h"

#include <vips/vips8>

#include <cstdlib>
#include <utility>

namespace cropling {

using wire::ReplyHead;
using wire::Request;
using wire::Task;

namespace {

// The frames of a reply as images over its payload, which the last of them keeps alive.
struct FrameBlock {
    std::shared_ptr<void> memory;
    std::vector<int> delays;
    std::vector<vips::VImage> frames;
};

std::optional<FrameBlock> frameBlock(void* payload, const ReplyHead& h) {
    FrameBlock block;
    block.memory = std::shared_ptr<void>(payload, std::free);
    const char* bytes = static_cast<const char*>(payload);
    auto delays = wire::checkedDelays(bytes, h.frames);
    if (!delays)
        return std::nullopt;
    block.delays = std::move(*delays);
    const size_t frameBytes = size_t(h.width) * size_t(h.height) * 4;
    const char* pixels = bytes + sizeof(int) * size_t(h.frames);
    for (int i = 0; i < h.frames; ++i) {
        vips::VImage frame = vips::VImage::new_from_memory(const_cast<char*>(pixels) + frameBytes * size_t(i), frameBytes,
                                                           h.width, h.height, 4, VIPS_FORMAT_UCHAR);
        // Set on the image itself: a copy with another interpretation would be a new image whose
        // pixels are made again, in memory of its own, when drawn from.
        frame.get_image()->Type = VIPS_INTERPRETATION_sRGB;
        block.frames.push_back(frame);
    }
    return block;
}

// What a reply of frames gives, made by `make` from its frames; why there is none otherwise.
template <typename T, typename Reply, typename Make>
Outcome<T> fromFrames(std::optional<Reply> reply, std::optional<OpenFailure> failure, const Make& make) {
    if (!reply)
        return {std::nullopt, failure};
    ensureVipsStarted();
    try {
        auto block = frameBlock(std::exchange(reply->payload, nullptr), reply->head);
        if (!block)
            return {std::nullopt, OpenFailure::Damaged};
        return {make(std::move(*block), reply->head), std::nullopt};
    } catch (const vips::VError&) {
        vips_error_clear();
        return {std::nullopt, OpenFailure::TooLarge};
    }
}

} // namespace

Outcome<std::shared_ptr<const Picture>> DecoderSession::frames(int side) {
    Request request;
    request.task = Task::Frames;
    request.side = side;
    std::optional<OpenFailure> failure;
    auto reply = ask(request, &failure);
    return fromFrames<std::shared_ptr<const Picture>>(std::move(reply), failure, [](FrameBlock block, const ReplyHead& head) {
        const QSize full(head.fullWidth, head.fullHeight);
        std::vector<std::shared_ptr<const Picture>> pictures;
        for (const vips::VImage& frame : block.frames)
            pictures.push_back(Picture::fromPixels(frame, full, true));
        return Picture::animated(std::move(pictures), std::move(block.delays), head.loop, block.memory);
    });
}

Outcome<EmojiFrames> DecoderSession::renderFrames(double zoom, QPointF offset, int side) {
    if (side < 1 || side > wire::kMaxRenderSide)
        return {};
    std::optional<OpenFailure> failure;
    auto reply = ask(squareRequest(Task::RenderFrames, zoom, offset, side), &failure);
    return fromFrames<EmojiFrames>(std::move(reply), failure, [](FrameBlock block, const ReplyHead& head) {
        // The squares lie in the reply's buffer, which they keep.
        EmojiFrames frames;
        frames.memory = std::move(block.memory);
        frames.frames = std::move(block.frames);
        frames.delaysMs = std::move(block.delays);
        frames.loop = head.loop;
        return frames;
    });
}

} // namespace cropling
