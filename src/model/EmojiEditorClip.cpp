// A video clip in the editor: its span, moved as undoable steps, whose frames are decoded on a
// worker and take the place of the animation shown; and the thumbnails of its timeline.

#include "EmojiEditor.h"
#include "model/RunInBackground.h"

#include "core/StatusText.h"
#include "model/FramePlayback.h"
#include "model/PictureLoader.h"

#include <QUndoStack>

namespace cropling {

namespace {

constexpr int kThumbnails = 8;
constexpr int kThumbnailSide = 96;

} // namespace

void EmojiEditor::takeClip(const ClipState& clip) {
    const bool changed = clip != clip_ || clip != shownClip_;
    // The picture that comes with a step is the one its clip state was shown with.
    clip_ = shownClip_ = clip;
    if (!clip.source) {
        clipThumbnails_.reset();
        thumbnailsFor_ = {};
    } else if (clip.source != thumbnailsFor_.source || clip.turn != thumbnailsFor_.turn) {
        thumbnailsFor_ = clip;
        clipThumbnails_.reset();
        const auto take = [this, wanted = clip](const Outcome<PicturePtr>& thumbnails) {
            if (wanted.source == clip_.source && wanted.turn == clip_.turn && thumbnails) {
                clipThumbnails_ = *thumbnails.value;
                Q_EMIT clipChanged();
            }
        };
        runInBackgroundIf(
            backgroundWork_, this,
            [source = clip.source, turn = clip.turn] { return source->thumbnails(kThumbnails, kThumbnailSide, turn); }, take);
    }
    if (changed)
        Q_EMIT clipChanged();
}

void EmojiEditor::setSpan(ClipSpan span) {
    if (!clip_.source)
        return;
    // A span moved while a turn is made applies to the turned clip: it waits for the turn, so that
    // the frames shown and the span they are said to be never part.
    if (turning_)
        return waitingForFinal_.push_back([this, span] { setSpan(span); });
    span = clampedSpan(span, clip_.source->durationMs());
    if (span == clip_.span)
        return;
    // A handle dragged, or a run of quick changes, is one step.
    undoStack_->push(new StateStep<ClipSpan>(spanStepText(), kSpanStepId, [this](const ClipSpan& at) { applySpan(at); },
                                             clip_.span, span, gestureFor(800)));
}

void EmojiEditor::applySpan(const ClipSpan& span) {
    if (!clip_.source || span == clip_.span)
        return;
    clip_.span = span;
    Q_EMIT clipChanged();
    decodeClipFrames();
}

void EmojiEditor::decodeClipFrames() {
    // One decode at a time: when it ends, it starts the next if the span moved meanwhile.
    if (clipDecoding_ || !clip_.source || clip_ == shownClip_)
        return;
    clipDecoding_ = true;
    const ClipState wanted = clip_;
    const int side = loader_->clipSide();
    runInBackgroundIf(
        backgroundWork_, this, [wanted, side] { return wanted.source->frames(wanted.span, wanted.turn, side); },
        [this, wanted](const Outcome<PicturePtr>& frames) { finishClipFrames(wanted, frames); });
}

void EmojiEditor::finishClipFrames(const ClipState& wanted, const Outcome<PicturePtr>& frames) {
    clipDecoding_ = false;
    if (wanted != clip_) {
        // The span moved again, or another picture came: its frames are made now, if they are
        // still wanted; if not (the span was put back), what waited for them goes on.
        decodeClipFrames();
        if (isWaitingForPicture())
            return;
        if (pendingTurn_ != 1)
            return startTurn(std::exchange(pendingTurn_, 1));
        return runWaitingExports();
    }
    shownClip_ = wanted;
    if (frames) {
        // Another animation: what was made for the frames before (a GIF for a drag, a framing
        // found on them) is not for these.
        ++generation_;
        replaceImage(*frames.value);
    } else {
        // The frames shown stay; the span says what the user chose, and the line why it is not shown.
        status_->set(couldNotOpenMessage(fileName_, frames.why), EditorStatus::Kind::Failure);
    }
    Q_EMIT clipChanged();
    if (pendingTurn_ != 1)
        return startTurn(std::exchange(pendingTurn_, 1));
    runWaitingExports();
}

} // namespace cropling
