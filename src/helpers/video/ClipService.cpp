#include "ClipService.h"

#include "core/Animation.h"
#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "core/Resample.h"
#include "image/shared/PngWriter.h"
#include "helpers/video/ClipDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cropling::video {

using wire::ReplyHead;
using wire::Status;
using wire::Task;
using wire::withStatus;

namespace {

// Which frames a task takes: those the program asked for, or the clip's default span's.
struct Sampling {
    qint64 startMs = 0;
    int stepMs = 0;
    int delayMs = 0;
    int frames = 0;
    int lastDelayMs = 0; // the last frame's, when it differs (0: as the others)
};

Sampling samplingFor(const wire::Request& request, const ClipDecoder& clip) {
    if (request.clipFrames > 0 && request.clipStepMs > 0 && request.clipStartMs >= 0 && request.clipDelayMs >= 10 &&
        request.clipDelayMs <= kMaxAnimationMs)
        return {request.clipStartMs, request.clipStepMs, request.clipDelayMs, std::min(request.clipFrames, kMaxFrames)};
    const ClipSpan span = defaultSpan(clip.durationMs());
    const FrameSampling sampling = frameSampling(span, clip.frameMs());
    return {span.startMs, sampling.stepMs, sampling.delayMs, sampling.frames};
}

// The stored frame scaled so that its shorter side keeps at least `side` pixels (0: all of them),
// never enlarged, and `frames` of them within `maxBytes`, each within `maxPixels`.
QSize workingSize(QSize stored, int side, int frames, long long maxBytes, long long maxPixels) {
    const double w = stored.width(), h = stored.height();
    double scale = side > 0 ? std::min(1.0, double(side) / std::min(w, h)) : 1.0;
    scale = std::min({scale, std::sqrt(double(maxBytes) / (4.0 * frames * w * h)), std::sqrt(double(maxPixels) / (w * h))});
    // A reduction's width a multiple of 16, where the scaler's vector code runs twice as fast;
    // the height follows the aspect ratio to the nearest row.
    int width = std::max(1, int(w * scale));
    if (scale < 1.0 && width > 64)
        width -= width % 16;
    return QSize(width, std::max(1, int(std::lround(width * h / w))));
}

// The delays before the frames: room was kept for `count`; a clip cut short gave `taken`, and the
// room of the others goes.
void writeDelays(QByteArray* payload, int taken, int count, const Sampling& sampling) {
    const qsizetype slot = sizeof(std::int32_t);
    payload->remove(slot * taken, slot * (count - taken));
    for (qsizetype i = 0; i < taken; ++i) {
        const std::int32_t delay = i == count - 1 && sampling.lastDelayMs > 0 ? sampling.lastDelayMs : sampling.delayMs;
        std::memcpy(payload->data() + slot * i, &delay, size_t(slot));
    }
}

// Why a span gave no frame: it starts after the last one the clip has, or the file is damaged.
Status nothingTaken(const ClipDecoder& clip, qint64 startMs) {
    return clip.lastFrameMs() >= 0 && clip.lastFrameMs() < startMs ? Status::PastEnd : Status::Damaged;
}

} // namespace

ClipService::ClipService(QByteArray bytes, int fd) : bytes_(std::move(bytes)), fd_(fd) {}

ClipService::~ClipService() = default;

ReplyHead ClipService::serve(const wire::Request& request, std::string_view* payload) {
    payload_.clear();
    ReplyHead reply = [&] {
        if (!opened_) {
            opened_ = true;
            OpenFailure why = OpenFailure::Damaged;
            decoder_ = ClipDecoder::open(bytes_, fd_, &why, &refusedCodec_);
            failure_ = wire::statusOf(why);
            bytes_.clear(); // the decoder keeps what it reads
        }
        if (!decoder_) {
            ReplyHead refused = withStatus(failure_);
            if (failure_ == Status::UnsupportedCodec)
                refused.codec = std::int32_t(refusedCodec_);
            return refused;
        }
        const int orientation = composedOrientation(decoder_->orientation(), request.turn);
        const QSize upright = uprightSize(decoder_->stored(), orientation);
        ReplyHead head;
        head.fullWidth = upright.width();
        head.fullHeight = upright.height();
        head.frames = samplingFor(request, *decoder_).frames;
        head.clipMs = int(std::min<qint64>(decoder_->durationMs(), wire::kMaxClipMs));
        head.clipFrameMs = decoder_->frameMs();
        switch (request.task) {
        case Task::Header: return head;
        case Task::Preview: return withStatus(Status::Nothing); // the first frame comes as fast as a preview
        case Task::Decode:
        case Task::Frames: return frames(request, head, orientation);
        case Task::Render:
        case Task::RenderFrames: return squares(request, head, orientation);
        }
        return withStatus(Status::Damaged);
    }();
    // A refusal carries nothing, whatever was made ready before it.
    if (reply.status != Status::Ok)
        payload_.clear();
    *payload = std::string_view(payload_.constData(), size_t(payload_.size()));
    reply.payloadBytes = std::uint64_t(payload_.size());
    return reply;
}

// The first frame as a still (Decode), or every frame of the span with its delay (Frames), upright
// at a working resolution.
ReplyHead ClipService::frames(const wire::Request& request, ReplyHead head, int orientation) {
    const Sampling sampling = samplingFor(request, *decoder_);
    const bool still = request.task == Task::Decode;
    const int count = still ? 1 : sampling.frames;
    const QSize size = workingSize(decoder_->stored(), request.side, count, still ? 4 * wire::kMaxReplyPixels : kMaxAnimationBytes,
                                   wire::kMaxReplyPixels);
    const qsizetype frameBytes = qsizetype(size.width()) * size.height() * 4;
    const qsizetype delays = still ? 0 : qsizetype(sizeof(std::int32_t)) * count;
    payload_.reserve(delays + frameBytes * count);
    payload_.resize(delays);
    QSize shown;
    const int taken = decoder_->takeFrames(sampling.startMs, sampling.stepMs, count, size, [&](PixelRows&& frame) {
        const PixelRows upright = turnedUpright(frame, orientation);
        shown = QSize(upright.width, upright.height);
        payload_.append(reinterpret_cast<const char*>(upright.bytes.data()), qsizetype(upright.bytes.size()));
    });
    if (taken == 0)
        return withStatus(nothingTaken(*decoder_, sampling.startMs));
    if (!still)
        writeDelays(&payload_, taken, count, sampling);
    head.frames = still ? head.frames : taken;
    head.width = shown.width();
    head.height = shown.height();
    head.bands = 4;
    return head;
}

// The framed n x n square of each frame of the span (RenderFrames), or of the first as a PNG
// (Render). Each frame is decoded at the resolution the square needs and resampled as a still is.
ReplyHead ClipService::squares(const wire::Request& request, ReplyHead head, int orientation) {
    const int n = request.side;
    Sampling sampling = samplingFor(request, *decoder_);
    const bool png = request.task == Task::Render;
    // Large squares: every k-th frame, each shown k times as long (the last as long as the frames
    // it stands for), so that the span keeps its length within the memory the squares may take.
    const int fitting = squaresWithin(n);
    if (!png && n >= 1 && sampling.frames > fitting) {
        const int k = (sampling.frames + fitting - 1) / fitting;
        const int kept = (sampling.frames + k - 1) / k;
        sampling = {sampling.startMs, sampling.stepMs * k, sampling.delayMs * k, kept,
                    sampling.delayMs * (sampling.frames - (kept - 1) * k)};
    }
    const int count = png ? 1 : sampling.frames;
    const QSize stored = decoder_->stored();
    const auto square = storedSquare(stored, orientation, request.zoom, QPointF(request.offsetX, request.offsetY), n);
    if (n < 1 || n > kMaxOutputSize || !square)
        return withStatus(Status::Nothing);
    const QSize size = workingSize(stored, square->shorterSide, 1, 4 * wire::kMaxReplyPixels, wire::kMaxReplyPixels);
    const QRectF window = scaledRect(square->stored, stored, size);
    const qsizetype delays = png ? 0 : qsizetype(sizeof(std::int32_t)) * count;
    payload_.reserve(delays + qsizetype(n) * n * 4 * count);
    payload_.resize(delays);
    PixelRows first;
    const int taken = decoder_->takeFrames(sampling.startMs, sampling.stepMs, count, size, [&](PixelRows&& frame) {
        const PixelRows resampled =
            resampleWindow(frame.view(), QPoint(0, 0), window, square->storedCanvas.width(), square->storedCanvas.height());
        PixelRows canvas = placedOnCanvas(turnedUpright(resampled, orientation), square->canvas, n);
        if (png)
            first = std::move(canvas);
        else
            payload_.append(reinterpret_cast<const char*>(canvas.bytes.data()), qsizetype(canvas.bytes.size()));
    });
    if (taken == 0)
        return withStatus(nothingTaken(*decoder_, sampling.startMs));
    if (png) {
        const auto encoded = writePng(first);
        if (!encoded)
            return withStatus(Status::TooLarge);
        payload_ = *encoded;
    } else {
        writeDelays(&payload_, taken, count, sampling);
        head.frames = taken;
        head.bands = 4;
    }
    head.width = head.height = n;
    return head;
}

} // namespace cropling::video
