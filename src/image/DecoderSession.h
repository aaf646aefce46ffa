#pragma once

// One picture decoded in the helper process: its bytes go to a new `cropling-decoder` through a
// pipe, and each task comes back as a checked reply. The helper limits itself
// (address space, CPU time, no files, sockets or programs) before it parses a byte of the picture,
// and is killed when a task runs past the deadline, when the session is cancelled from any
// thread, or when the session ends. A decoder that crashes, aborts or runs out of memory costs
// this one picture and nothing else.

#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "core/MemoryBudget.h"
#include "core/OpenFailure.h"
#include "core/Resample.h"
#include "core/VideoCodec.h"
#include "image/PictureInput.h"

#include <QByteArray>
#include <QPointF>
#include <QSize>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace cropling {

class Picture;
struct RgbaFrames;

namespace wire {
struct Request;
struct ReplyHead;
enum class Task : std::uint32_t;
} // namespace wire

// A result, or why there is none (no reason: nothing to give, as a preview of a format without a
// quick reduced decode, or a render whose square shows too little).
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::optional<OpenFailure> why;
    VideoCodec codec = VideoCodec::Unknown; // with UnsupportedCodec: which codec

    explicit operator bool() const { return value.has_value(); }
};

class DecoderSession : public std::enable_shared_from_this<DecoderSession> {
public:
    DecoderSession();
    ~DecoderSession();
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;

    // Hands the picture to a new helper. False when no helper could be started. For a render
    // (`forRender`), a JPEG, PNG or WebP goes to the direct helper, which renders without libvips
    // and starts in a few milliseconds; whatever it declines (another task, a CMYK JPEG, an
    // animation) goes on to the libvips helper, which then reads the picture again.
    bool start(const QByteArray& encoded);
    bool start(const PictureInput& input, bool forRender = false);

    // The picture at a working resolution (shorter side at least `side`; 0: full resolution).
    Outcome<std::shared_ptr<const Picture>> decode(int side);
    // A quick first look; nothing without a failure when the format has no cheap reduction.
    Outcome<std::shared_ptr<const Picture>> preview(int side);
    // The same two as plain pixels held here, for work that needs no libvips (a render's face
    // search); `fullSize` is the whole picture's.
    struct PlainPixels {
        PixelRows rows;
        QSize fullSize;
    };
    Outcome<PlainPixels> decodePixels(int side);
    Outcome<PlainPixels> previewPixels(int side);
    // A picture that holds no pixels, rendered through this session: only its header is read now.
    Outcome<std::shared_ptr<const Picture>> openForRender();
    // The framed square as an n x n PNG, decoded from just the part of the file it shows.
    // `turn` is an orientation applied after the picture's own (core/Orientation.h).
    Outcome<QByteArray> render(const Framing& framing, int side, int turn = 1);
    // How many frames the picture has, as the last reply said: more than one for an animation.
    int frameCount() const { return frames_; }
    // Every frame of an animation at a working resolution (as decode()), with its timing.
    Outcome<std::shared_ptr<const Picture>> frames(int side, int turn = 1);
    // The framed square of every frame, n x n, with the timing: only the squares come back. Of a
    // long animation, only the frames an export keeping at most `maxFrames` can keep (0: every
    // frame; core/Animation.h, framesToRender).
    Outcome<RgbaFrames> renderFrames(const Framing& framing, int side, int turn = 1, int maxFrames = 0);

    // Whether the direct helper holds the picture (it has declined nothing so far).
    bool heldByDirectHelper() const { return direct_; }

    // Whether the file is a video clip (or a sound file), which the video helper holds: its
    // frames, its still and its renders are those of a span of it.
    bool holdsClip() const { return clip_; }
    // The codec of a clip refused as UnsupportedCodec, as the helper named it.
    VideoCodec refusedCodec() const { return refusedCodec_; }
    // The clip's length and the time between its frames, as the last reply said (0: unknown).
    qint64 clipMs() const { return clipMs_; }
    int clipFrameMs() const { return clipFrameMs_; }
    // The span every task from now on takes from a clip; until set, the clip's default span. Set
    // before the tasks, from the thread that runs them.
    // `frameMs` is the clip's frame interval when this session has not read it yet (-1: as read).
    void setSpan(const ClipSpan& span, int frameMs = -1) {
        span_ = span;
        if (frameMs >= 0)
            clipFrameMs_ = frameMs;
    }
    // `count` frames spread over the whole clip, each with its shorter side at least `side`: the
    // timeline's thumbnails.
    Outcome<std::shared_ptr<const Picture>> thumbnails(int count, int side, int turn = 1);

    // Kills the helper; a task waiting for it ends at once. Safe from any thread, at any time.
    void cancel();
    // Cancels every session of the process: nothing outlives quitting.
    static void cancelAll();

    // The total time the helper's tasks may take together (the hand-over of the picture included):
    // the decode deadline plus a margin for the helper's start. A caller may allow less.
    static constexpr int kDeadlineMs = 10'500;
    void setDeadline(int milliseconds) { deadlineMs_ = milliseconds; }
    // How many threads each helper started from now on works with (0: as many as there are cores).
    // A batch that decodes one picture per core sets 1, so the process tree never runs more
    // threads than there are cores.
    static void setHelperThreads(int threads) { helperThreads_ = threads; }
    // The pool every helper's memory is admitted from (core/MemoryBudget.h): a helper starts only
    // once its share is free, and one that runs out of memory on less than the whole share is
    // started again with it. The size is for tests; the program keeps the default.
    static MemoryBudget& memoryBudget();
    // Called first in a program's main(), before any thread: the program's own libvips loads none
    // of its modules (HEIF, JPEG XL, ImageMagick and the rest, some 30 ms and megabytes when it
    // starts), as only the helpers decode files; the helpers still load them as before.
    static void leaveVipsModulesToHelpers();
    // Where the helpers are: next to the program, in its libexec folder, or in the build tree.
    // CROPLING_DECODER names one helper for every picture instead.
    static QByteArray helperPath();
    static QByteArray directHelperPath();
    static QByteArray videoHelperPath();

private:
    struct Reply;
    // Starts the helper at `path` once its share of memory is admitted (all of the whole share
    // when `whole`). False when none could be started or the session was cancelled meanwhile.
    bool spawn(const PictureInput& input, const QByteArray& path, bool whole = false);
    // Writes the picture (or the mark of its file) to the helper just started.
    bool handOver(const PictureInput& input);
    // exchange(), and for a helper too small for the task on less than the whole share of memory,
    // the task again of a new one that has it.
    std::optional<Reply> exchangeAdmitted(const wire::Request& request, OpenFailure* why);
    std::optional<Reply> exchange(const wire::Request& request, OpenFailure* why);
    // The reply when the helper did the task; otherwise nothing, and why when there is a reason.
    std::optional<Reply> ask(const wire::Request& request, std::optional<OpenFailure>* failure);
    // A task whose reply is pixels; the reply holds them.
    std::optional<Reply> pixelsReply(wire::Task task, int side, std::optional<OpenFailure>* failure);
    Outcome<std::shared_ptr<const Picture>> pixels(wire::Task task, int side);
    Outcome<PlainPixels> plainPixels(wire::Task task, int side);
    OpenFailure reap();

    static std::atomic<int> helperThreads_;
    std::mutex mutex_;
    int pid_ = -1;
    int requestFd_ = -1;
    int replyFd_ = -1;
    std::atomic<bool> cancelled_ = false;
    qint64 spentMs_ = 0;
    qint64 deadlineMs_ = kDeadlineMs;
    int frames_ = 1;
    bool clip_ = false;
    VideoCodec refusedCodec_ = VideoCodec::Unknown;
    qint64 clipMs_ = 0;
    int clipFrameMs_ = 0;
    std::optional<ClipSpan> span_;
    // The request with the clip's span in it, for a clip.
    wire::Request withSpan(wire::Request request) const;
    Outcome<std::shared_ptr<const Picture>> framesOf(const wire::Request& request);
    // The picture again: for the libvips helper when the direct one declines, or for a helper
    // started anew with the whole share.
    std::optional<PictureInput> again_;
    QByteArray path_;
    bool direct_ = false;
    std::int64_t share_ = 0;
    bool wholeShare_ = false;
};

} // namespace cropling
