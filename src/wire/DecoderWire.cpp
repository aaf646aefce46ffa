#include "DecoderWire.h"

#include "core/CropGeometry.h"

#include <algorithm>
#include <cstring>

namespace cropling::wire {

namespace {

bool validSize(std::int32_t width, std::int32_t height, long long maxPixels) {
    return width >= 1 && height >= 1 && (long long)width * height <= maxPixels;
}

} // namespace

std::optional<ReplyHead> checkedHead(const QByteArray& bytes, Task task, int side) {
    ReplyHead head;
    if (bytes.size() != qsizetype(sizeof head))
        return std::nullopt;
    std::memcpy(&head, bytes.constData(), sizeof head);
    if (head.magic != kReplyMagic || std::uint32_t(head.status) > std::uint32_t(Status::OutOfMemory) ||
        head.codec < 0 || head.codec >= int(VideoCodec::Count) || (head.codec != 0 && head.status != Status::UnsupportedCodec) ||
        head.clipMs < 0 || head.clipMs > kMaxClipMs || head.clipFrameMs < 0 || head.clipFrameMs > 60'000)
        return std::nullopt;
    if (head.status != Status::Ok)
        return head.payloadBytes == 0 && (head.status != Status::Nothing || task != Task::Decode) ? std::optional(head)
                                                                                                 : std::nullopt;
    // A count of one more than the limit says "too many"; a GIF plays at most 65,536 times.
    if (!validSize(head.fullWidth, head.fullHeight, kMaxDecodedPixels) || head.frames < 1 || head.frames > kMaxFrames + 1 ||
        head.loop < 0 || head.loop > 65536)
        return std::nullopt;
    switch (task) {
    case Task::Header:
        return head.payloadBytes == 0 && head.width == 0 && head.height == 0 ? std::optional(head) : std::nullopt;
    case Task::Render:
        return head.width == side && head.height == side && head.payloadBytes >= 8 &&
                       head.payloadBytes <= std::uint64_t(kMaxReplyPng)
                   ? std::optional(head)
                   : std::nullopt;
    case Task::Frames:
    case Task::RenderFrames: {
        if (head.frames > kMaxFrames)
            return std::nullopt;
        const std::uint64_t frameBytes = std::uint64_t(head.width) * std::uint64_t(head.height) * 4;
        if (!validSize(head.width, head.height, kMaxReplyPixels) || head.bands != 4 ||
            (task == Task::RenderFrames && (head.width != side || head.height != side)) ||
            frameBytes * std::uint64_t(head.frames) > std::uint64_t(kMaxAnimationBytes))
            return std::nullopt;
        return head.payloadBytes == (4 + frameBytes) * std::uint64_t(head.frames) ? std::optional(head) : std::nullopt;
    }
    case Task::Decode:
    case Task::Preview:
        if (!validSize(head.width, head.height, kMaxReplyPixels) || (head.bands != 3 && head.bands != 4))
            return std::nullopt;
        return head.payloadBytes == std::uint64_t(head.width) * std::uint64_t(head.height) * std::uint64_t(head.bands)
                   ? std::optional(head)
                   : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::vector<int>> checkedDelays(const char* payload, int frames) {
    std::vector<int> delays(size_t(std::max(frames, 0)));
    std::memcpy(delays.data(), payload, delays.size() * sizeof(int));
    for (const int delay : delays) {
        if (delay < 0 || delay > kMaxAnimationMs)
            return std::nullopt;
    }
    if (animationDuration(delays) > kMaxAnimationMs)
        return std::nullopt;
    return delays;
}

bool isPngOfSide(const QByteArray& png, int side) {
    const auto bigEndian = [&](int at) {
        return quint32(uchar(png[at])) << 24 | quint32(uchar(png[at + 1])) << 16 | quint32(uchar(png[at + 2])) << 8 |
               quint32(uchar(png[at + 3]));
    };
    return png.size() >= 33 && png.startsWith("\x89PNG\r\n\x1a\n") && png.mid(12, 4) == "IHDR" &&
           bigEndian(16) == quint32(side) && bigEndian(20) == quint32(side);
}

std::optional<OpenFailure> failureOf(Status status) {
    switch (status) {
    case Status::NotPicture: return OpenFailure::NotPicture;
    case Status::Damaged: return OpenFailure::Damaged;
    case Status::TooLarge: return OpenFailure::TooLarge;
    case Status::TookTooLong: return OpenFailure::TookTooLong;
    case Status::TooManyFrames: return OpenFailure::TooManyFrames;
    case Status::NoVideo: return OpenFailure::NoVideo;
    case Status::UnsupportedCodec: return OpenFailure::UnsupportedCodec;
    case Status::PastEnd: return OpenFailure::SpanPastEnd;
    case Status::OutOfMemory: return OpenFailure::OutOfMemory;
    case Status::Ok:
    case Status::Nothing:
    case Status::Declined: break;
    }
    return std::nullopt;
}

Status statusOf(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::NotFound:
    case OpenFailure::NotReadable:
    case OpenFailure::NotPicture: return Status::NotPicture;
    case OpenFailure::Damaged: return Status::Damaged;
    case OpenFailure::TooLarge: return Status::TooLarge;
    case OpenFailure::TookTooLong: return Status::TookTooLong;
    case OpenFailure::TooManyFrames: return Status::TooManyFrames;
    case OpenFailure::NoVideo: return Status::NoVideo;
    case OpenFailure::UnsupportedCodec: return Status::UnsupportedCodec;
    case OpenFailure::SpanPastEnd: return Status::PastEnd;
    case OpenFailure::OutOfMemory: return Status::OutOfMemory;
    }
    return Status::Damaged;
}

} // namespace cropling::wire
