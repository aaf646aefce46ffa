#include "DecodeService.h"

#include "core/Animation.h"
#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "image/decoding/Decoding.h"
#include "image/shared/VipsRender.h"
#include "image/shared/SquareRender.h"
#include "image/decoding/FrameReader.h"
#include "image/Picture.h"
#include "image/decoding/Preflight.h"
#include "image/shared/VipsRuntime.h"

#include <QElapsedTimer>

#include <malloc.h>

#include <vips/vector.h>
#include <QImageReader>

#include <vips/vips8>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace cropling {

using wire::ReplyHead;
using wire::Status;
using wire::Task;

namespace {

ReplyHead failed(OpenFailure why) {
    ReplyHead head;
    head.status = wire::statusOf(why);
    return head;
}

ReplyHead sized(const decoding::Header& header) {
    ReplyHead head;
    head.fullWidth = header.upright.width();
    head.fullHeight = header.upright.height();
    // Beyond the limit the count says only that: the frames themselves will be refused.
    head.frames = decoding::isAnimated(header) ? std::min(header.pages, kMaxFrames + 1) : 1;
    return head;
}

// Frames with their delays first, each frame's pixels appended as soon as it is decoded.
class FrameWriter {
public:
    FrameWriter(QByteArray* out, const decoding::Timing& timing, QSize frame)
        : out_(out), frameBytes_(qsizetype(frame.width()) * frame.height() * 4) {
        const qsizetype delays = qsizetype(timing.delaysMs.size() * sizeof(int));
        out_->resize(delays + frameBytes_ * qsizetype(timing.delaysMs.size()));
        std::memcpy(out_->data(), timing.delaysMs.data(), size_t(delays));
        at_ = delays;
    }
    void append(const vips::VImage& frame) {
        if (frame.bands() != 4 || qsizetype(frame.width()) * frame.height() * 4 != frameBytes_ || at_ + frameBytes_ > out_->size())
            throw vips::VError("a frame is not the size of the others");
        std::memcpy(out_->data() + at_, vips_image_get_data(frame.get_image()), size_t(frameBytes_));
        at_ += frameBytes_;
    }

private:
    QByteArray* out_;
    qsizetype frameBytes_;
    qsizetype at_ = 0;
};

ReplyHead framesTask(const std::optional<decoding::Header>& header, OpenFailure why, const wire::Request& request,
                     Payload* payload) {
    if (!header)
        return failed(why);
    const auto timing = decoding::readTiming(*header, &why);
    if (!timing)
        return failed(why);
    const int frames = int(timing->delaysMs.size());
    ReplyHead head = sized(*header);
    head.frames = frames;
    head.loop = timing->loop;
    head.bands = 4;
    QElapsedTimer clock;
    clock.start();
    try {
        if (request.task == Task::Frames) {
            const QSize size = decoding::frameSize(*header, frames, request.side);
            FrameWriter writer(&payload->bytes, *timing, size);
            decoding::readFrames(*header, frames, size, [&](const vips::VImage& frame) { writer.append(frame); });
            head.width = size.width();
            head.height = size.height();
        } else {
            // Each frame is decoded at the resolution the square needs and rendered at once; only
            // the squares are kept.
            const int n = request.side;
            // Of a long animation, only the frames the export can keep are rendered, and only
            // their squares are held, within the squares' memory.
            const FrameRuns runs = framesToRender(timing->delaysMs, std::max(0, request.maxFrames), n);
            const QPointF offset(request.offsetX, request.offsetY);
            const Framing framing{request.zoom, offset};
            const int needed = squareSourceSide(header->upright, framing, n);
            const QSize full = header->upright;
            if (needed <= 0 || !emojiCanvasRect(full.width(), full.height(), request.zoom, offset, n)) {
                ReplyHead nothing;
                nothing.status = Status::Nothing;
                return nothing;
            }
            FrameWriter writer(&payload->bytes, decoding::Timing{runs.delaysMs, timing->loop}, QSize(n, n));
            // One frame at a time is held, so the bound is that of one frame, not of all of them.
            // Frames at most twice the size the square needs are rendered from their own pixels:
            // the filter reduces them as well in one step, and reducing each first would cost a
            // computation per frame.
            const QSize reduced = decoding::frameSize(*header, 1, needed), whole = decoding::frameSize(*header, 1, 0);
            const QSize size = whole.width() <= 2 * reduced.width() && whole.height() <= 2 * reduced.height() ? whole : reduced;
            size_t next = 0;
            int index = 0;
            decoding::readFrames(*header, frames, size, [&](const vips::VImage& frame) {
                const bool shown = next < runs.shown.size() && index == runs.shown[next];
                ++index;
                if (!shown)
                    return;
                ++next;
                const auto square = renderSquare(frame, header->upright, framing, n);
                if (!square)
                    throw vips::VError("the square shows nothing");
                writer.append(square->copy_memory());
            });
            head.frames = int(runs.shown.size());
            head.sourceFrames = frames;
            head.width = head.height = n;
        }
    } catch (const vips::VError& error) {
        decoding::noteFailure(error);
        vips_error_clear();
        payload->bytes.clear();
        return failed(decoding::failureAfter(clock.elapsed()));
    }
    head.payloadBytes = std::uint64_t(payload->bytes.size());
    return head;
}

// A working bitmap beyond what a reply may carry is refused before a pixel of it is decoded: an
// extreme aspect ratio at a window's working resolution, or a thin drawing drawn to the working
// size, would otherwise fill the memory limit.
bool fitsReply(const decoding::Header& header, int side) {
    const double shorter = std::min(header.stored.width(), header.stored.height());
    double scale = 1.0;
    if (side > 0 && header.loader == "VipsForeignLoadSvgBuffer")
        scale = decoding::svgScale(header, side);
    else if (side > 0)
        scale = std::min(1.0, 2.0 * side / shorter); // reductions stop between `side` and twice it
    return header.stored.width() * scale * header.stored.height() * scale <= double(wire::kMaxReplyPixels);
}

ReplyHead decodeTask(const std::optional<decoding::Header>& header, OpenFailure why, const wire::Request& request,
                     Payload* payload) {
    if (!header)
        return failed(why);
    if (request.task == Task::Preview && !decoding::hasCheapReduction(*header, request.side)) {
        ReplyHead nothing;
        nothing.status = Status::Nothing;
        return nothing;
    }
    if (!fitsReply(*header, request.side))
        return failed(OpenFailure::TooLarge);
    QElapsedTimer clock;
    clock.start();
    const auto picture = Picture::decodeHeaded(*header, request.side);
    if (!picture)
        return failed(decoding::failureAfter(clock.elapsed()));
    const vips::VImage& pixels = picture->pixels();
    if ((long long)pixels.width() * pixels.height() > wire::kMaxReplyPixels)
        return failed(OpenFailure::TooLarge);
    ReplyHead head = sized(*header);
    head.width = pixels.width();
    head.height = pixels.height();
    head.bands = pixels.bands();
    payload->picture = picture;
    head.payloadBytes = payload->size();
    return head;
}

ReplyHead renderTask(const std::optional<decoding::Header>& header, OpenFailure why, const wire::Request& request,
                     Payload* payload) {
    if (!header)
        return failed(why);
    ReplyHead head = sized(*header);
    if (request.task == Task::Header)
        return head;
    // Any zoom and offset go to the render, which gives nothing for a square that shows too little.
    const auto picture = Picture::openHeaded(*header);
    std::optional<OpenFailure> failure;
    const bool sized = request.side >= 1 && request.side <= kMaxOutputSize;
    const auto png = picture && sized ? picture->renderPng(Framing{request.zoom, QPointF(request.offsetX, request.offsetY)},
                                                           request.side, &failure)
                                      : std::nullopt;
    if (!png) {
        if (failure)
            return failed(*failure);
        head.status = Status::Nothing;
        head.fullWidth = head.fullHeight = 0;
        return head;
    }
    head.width = head.height = request.side;
    head.payloadBytes = std::uint64_t(png->size());
    payload->bytes = *png;
    return head;
}

} // namespace

const char* Payload::data() const {
    if (picture)
        return static_cast<const char*>(vips_image_get_data(picture->pixels().get_image()));
    return bytes.constData();
}

size_t Payload::size() const {
    if (!picture)
        return size_t(bytes.size());
    const vips::VImage& pixels = picture->pixels();
    return size_t(pixels.width()) * size_t(pixels.height()) * size_t(pixels.bands());
}

struct DecodeService::Header {
    std::optional<decoding::Header> header;
    OpenFailure why = OpenFailure::Damaged;
};

DecodeService::DecodeService(QByteArray encoded) : encoded_(std::move(encoded)) {}

DecodeService::~DecodeService() = default;

const DecodeService::Header& DecodeService::header() {
    if (!header_) {
        header_ = std::make_unique<Header>();
        header_->header = decoding::readHeader(encoded_, false, &header_->why);
        encoded_.clear(); // the header keeps what the decoder reads
    }
    return *header_;
}

ReplyHead DecodeService::serve(const wire::Request& request, Payload* payload) {
    *payload = {};
    const Header& read = header();
    // A turn the program asks for is one more step of the picture's orientation: every task sees
    // the picture as it shows after it.
    std::optional<decoding::Header> shown = read.header;
    if (shown) {
        shown->orientation = composedOrientation(shown->orientation, request.turn);
        shown->upright = uprightSize(shown->stored, shown->orientation);
    }
    switch (request.task) {
    case Task::Decode:
    case Task::Preview: return decodeTask(shown, read.why, request, payload);
    case Task::Header:
    case Task::Render: return renderTask(shown, read.why, request, payload);
    case Task::Frames:
    case Task::RenderFrames: return framesTask(shown, read.why, request, payload);
    }
    return failed(OpenFailure::Damaged);
}

void DecodeService::sent() {
    payload_ = Payload();
    ::malloc_trim(0);
}

void prepareFor(const QByteArray& encoded) {
    // Shut in, the helper may create no file, so libvips must never decode a large picture into a
    // temporary one, as it does past 100 MB by default (a big animated WebP was called damaged).
    // It decodes into memory instead, where the helper's address limit bounds it.
    ::setenv("VIPS_DISC_THRESHOLD", "1000g", 1);
    ensureVipsStarted();
    // No code made at run time: once shut in, the helper may map no executable memory.
    vips_vector_set_enabled(FALSE);
    if (preflight::needsQtReader(encoded))
        QImageReader::supportedImageFormats(); // loads the image plugins
    // A drawing's text needs the font configuration, which is read on first use: a tiny drawing
    // with text is drawn now.
    const char* loader = vips_foreign_find_load_buffer(encoded.constData(), size_t(encoded.size()));
    if (loader && std::strcmp(loader, "VipsForeignLoadSvgBuffer") == 0) {
        static const char text[] = "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'><text y='8'>a</text></svg>";
        try {
            vips::VImage::new_from_buffer(text, sizeof text - 1, "").avg();
        } catch (const vips::VError&) {
            vips_error_clear();
        }
    }
}

wire::ReplyHead DecodeService::serve(const wire::Request& request, std::string_view* payload) {
    const wire::ReplyHead head = serve(request, &payload_);
    *payload = std::string_view(payload_.data(), payload_.size());
    return head;
}

} // namespace cropling
