#pragma once

// The messages between the program and its decoding helper. The helper reads untrusted pictures,
// so everything it sends back is checked before it is used: a reply is a fixed head and exactly
// the payload the head announces, within bounds fixed here rather than taken from the reply.

#include "core/Animation.h"
#include "core/OpenFailure.h"
#include "core/CropGeometry.h"
#include "core/VideoCodec.h"

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace cropling::wire {

inline constexpr std::uint32_t kRequestMagic = 0x43524f51; // "CROQ"
inline constexpr std::uint32_t kReplyMagic = 0x43524f50;   // "CROP"

enum class Task : std::uint32_t {
    Decode = 1,  // the picture at a working resolution (`side`: shorter side, 0 for full)
    Preview = 2, // a quick reduced decode, or Nothing when the format has none
    Header = 3,  // the upright size only
    Render = 4,  // the framed square as a PNG of `side` pixels, decoded from just what it shows
    Frames = 5,  // every frame of an animation at a working resolution, with its timing
    RenderFrames = 6, // the framed square of every frame, `side` x `side` RGBA, with the timing
};

struct Request {
    std::uint32_t magic = kRequestMagic;
    Task task = Task::Header;
    std::int32_t side = 0;
    std::int32_t turn = 1; // an orientation (1 to 8) applied after the file's own; others count as 1
    double zoom = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    // For a video clip: the part taken (core/ClipSpan.h), one frame every `clipStepMs` from
    // `clipStartMs`, each shown for `clipDelayMs`, `clipFrames` of them. A picture ignores them.
    std::int64_t clipStartMs = 0;
    std::int32_t clipStepMs = 0;
    std::int32_t clipDelayMs = 0;
    std::int32_t clipFrames = 0;
    // For the squares of an animation's frames: how many an export keeps at most (0: any), which
    // says which frames are rendered (core/Animation.h, framesToRender).
    std::int32_t maxFrames = 0;
};

// The longest clip a reply may say it has.
inline constexpr std::int32_t kMaxClipMs = 100 * 3600 * 1000;

enum class Status : std::uint32_t {
    Ok = 0,
    Nothing = 1, // no preview for this format; a render whose square shows too little
    NotPicture = 2,
    Damaged = 3,
    TooLarge = 4,
    TookTooLong = 5,
    TooManyFrames = 6,
    Declined = 7, // the direct helper leaves this picture, or this task, to the libvips one
    NoVideo = 8,  // a media file without a picture in it
    UnsupportedCodec = 9, // a clip in a codec not decoded; `codec` says which
    PastEnd = 10,         // a clip's span that starts after its last frame
    OutOfMemory = 11,     // the helper ran out of the memory it was admitted with
};

struct ReplyHead {
    std::uint32_t magic = kReplyMagic;
    Status status = Status::Ok;
    std::int32_t fullWidth = 0; // the picture's upright size
    std::int32_t fullHeight = 0;
    std::int32_t width = 0; // the pixels that follow (Decode, Preview)
    std::int32_t height = 0;
    std::int32_t bands = 0;
    std::int32_t frames = 1; // frames in the file; for Frames and RenderFrames, the frames that follow
    std::int32_t loop = 0;   // how often an animation plays (0: for ever)
    std::int32_t clipMs = 0;      // a video clip's length (0 for a picture, or a clip of unknown length)
    std::int32_t clipFrameMs = 0; // the time between a clip's frames (0: unknown)
    std::int32_t codec = 0; // UnsupportedCodec: which (core/VideoCodec.h)
    // RenderFrames: how many frames of the animation those that follow stand for (0: as many).
    std::int32_t sourceFrames = 0;
    std::uint64_t payloadBytes = 0;
};

// What the helper may send back at most: decoded pixels for a window (a working picture has a
// shorter side of a few thousand pixels; an extreme aspect ratio is refused rather than sent),
// and a PNG of the largest render.
inline constexpr long long kMaxReplyPixels = 48LL << 20;
inline constexpr long long kMaxReplyPng = 16LL << 20;
inline constexpr int kMaxRenderSide = kMaxOutputSize;
// A picture goes to the helper as its length and bytes on the request pipe, or as this length and
// an open file on this descriptor.
inline constexpr std::uint64_t kPictureOnFd = ~std::uint64_t(0);
inline constexpr int kPictureFd = 3;
// How a helper that ends by itself says why, besides its signals: an allocation its limits
// refused, or a file beyond the bound on pictures.
inline constexpr int kExitOutOfMemory = 3;
inline constexpr int kExitTooLarge = 4;
// The largest picture handed over, as the largest file the program reads: with the helper's
// address limit of 1 GiB, the bytes and their decode must both fit.
inline constexpr long long kMaxPictureBytes = 512LL << 20;

// Frames go as their delays (int32 milliseconds, one for each frame), then their pixels, RGBA one
// after another: all of them within the bounds of an animation.
inline constexpr long long kMaxReplyFrameBytes = kMaxAnimationBytes + 4LL * kMaxFrames;

// The head, when it is one the program asked for and every number in it is within bounds.
std::optional<ReplyHead> checkedHead(const QByteArray& bytes, Task task, int side);

// Whether a render's payload is what the program asked for: a PNG whose header says side x side.
// Only its head is checked; the program passes the file on and never decodes it.
bool isPngOfSide(const QByteArray& png, int side);

// The frame delays at the start of a Frames or RenderFrames payload, when each is one a file may
// give and together they play no longer than an animation may.
std::optional<std::vector<int>> checkedDelays(const char* payload, int frames);

// A reply of that status alone, with nothing after it.
inline ReplyHead withStatus(Status status) {
    ReplyHead head;
    head.status = status;
    return head;
}

// The reason a failed reply gives, if it gives one.
std::optional<OpenFailure> failureOf(Status status);
Status statusOf(OpenFailure failure);

} // namespace cropling::wire
