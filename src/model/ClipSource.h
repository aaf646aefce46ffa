#pragma once

// A video clip open in the editor: the file (or pasted bytes) it is read from again for each span,
// its length and the time between its frames. Each decode of a span starts a helper of its own,
// so that every one is bounded in time and memory as a picture's decode is, however many spans
// the user tries.

#include "core/ClipSpan.h"
#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "image/PictureInput.h"

#include <memory>

namespace cropling {

class ClipSource {
public:
    ClipSource(PictureInput input, qint64 durationMs, int frameMs)
        : input_(std::move(input)), durationMs_(durationMs), frameMs_(frameMs) {}

    qint64 durationMs() const { return durationMs_; }
    int frameMs() const { return frameMs_; }

    // The span's frames at a working resolution (shorter side at least `side`), turned as `turn`
    // says after the clip's own rotation. Safe from any thread; runs for as long as the decode.
    Outcome<PicturePtr> frames(const ClipSpan& span, int turn, int side) const;
    // `count` small frames spread over the whole clip, for a timeline.
    Outcome<PicturePtr> thumbnails(int count, int side, int turn) const;

private:
    PictureInput input_;
    qint64 durationMs_;
    int frameMs_;
};

// Which span of which clip, turned how: what a clip's frames on show were made from.
struct ClipState {
    std::shared_ptr<const ClipSource> source;
    ClipSpan span;
    int turn = 1;
    bool operator==(const ClipState&) const = default;
};

} // namespace cropling
