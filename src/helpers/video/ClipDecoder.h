#pragma once

// A video clip read with FFmpeg's libraries, in the video helper: the container from the bytes in
// memory, the first video stream's frames decoded from a point on, scaled as they come to the size
// asked for. Only the containers and codecs a phone, a camera or a screen recorder writes are
// opened; anything else is not a clip this program takes.

#include "core/OpenFailure.h"
#include "core/Resample.h"
#include "core/VideoCodec.h"

#include <QByteArray>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>

namespace cropling::video {

class ClipDecoder {
public:
    // The clip in these bytes, or in the file open on `fd` (then read as it goes, however large),
    // its header read and its decoder opened; nothing and why otherwise: NoVideo for sound alone,
    // TooLarge for frames beyond the bounds, UnsupportedCodec (and `codec`) for video in a codec
    // not taken, Damaged for a file that does not parse or a container not taken.
    static std::unique_ptr<ClipDecoder> open(const QByteArray& bytes, int fd, OpenFailure* why, VideoCodec* codec);
    ~ClipDecoder();
    ClipDecoder(const ClipDecoder&) = delete;
    ClipDecoder& operator=(const ClipDecoder&) = delete;

    QSize stored() const { return stored_; }    // as the frames are coded
    int orientation() const { return orientation_; } // how they show upright, as an EXIF tag would say
    qint64 durationMs() const { return durationMs_; } // 0: unknown
    int frameMs() const { return frameMs_; }          // the time between frames; 0: unknown

    // Takes `count` frames, the first at `startMs` and one every `stepMs` after it: for each, the
    // first frame shown at or after its time, as RGBA scaled to `size` (stored orientation), handed
    // to `take`. Frames far ahead are reached by seeking. Stops early at the clip's end or where
    // the file is cut; the number taken (0 when not even one decoded) is returned.
    int takeFrames(qint64 startMs, int stepMs, int count, QSize size,
                   const std::function<void(PixelRows&& frame)>& take);
    // The time of the last frame the last takeFrames() decoded, whether taken or not (-1: none):
    // with none taken, a span past the clip's end tells itself from a damaged file by it.
    qint64 lastFrameMs() const { return lastFrameMs_; }

private:
    ClipDecoder() = default;
    // The time of the clip's last packet, read to its end without decoding (-1: none).
    qint64 lastPacketMs();
    struct Av;
    std::unique_ptr<Av> av_;
    QSize stored_;
    int orientation_ = 1;
    qint64 durationMs_ = 0;
    int frameMs_ = 0;
    qint64 lastFrameMs_ = -1;
};

} // namespace cropling::video
