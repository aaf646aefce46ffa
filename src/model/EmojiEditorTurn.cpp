// Turning the picture (rotations and the flip, with its framing turned alike) and removing its
// background: each an undoable step that brings the same picture in changed, made on a worker.

#include "EmojiEditor.h"
#include "model/RunInBackground.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "core/StatusText.h"
#include "image/VipsLayer.h"

#include <QCoreApplication>
#include <QUndoStack>

namespace cropling {

namespace {

struct TurnText {
    Q_DECLARE_TR_FUNCTIONS(EditCommands)
};

// The step's name in "Undo Rotate Left"; turns asked for in a quick run are one step.
QString turnStepText(int orientation) {
    switch (orientation) {
    case kTurnLeft: return TurnText::tr("Rotate Left");
    case kTurnRight: return TurnText::tr("Rotate Right");
    case kFlipAcross: return TurnText::tr("Flip Horizontally");
    default: return TurnText::tr("Rotate");
    }
}

} // namespace

void EmojiEditor::turnPicture(int orientation) {
    if (!image_ || orientation == 1)
        return;
    // A turn asked for while another is made, or while a first look stands in for the picture,
    // follows on the picture that comes.
    if (isWaitingForPicture()) {
        pendingTurn_ = composedOrientation(pendingTurn_, orientation);
        return;
    }
    startTurn(orientation);
}

void EmojiEditor::startTurn(int orientation) {
    if (pendingTurn_ == 1 && orientation == 1)
        return runWaitingExports();
    changePicture([orientation](const PicturePtr& picture) { return picture->turned(orientation); },
                  [this, orientation](const PicturePtr& turned) {
                      // The scene turns about the square's centre: the picture's centre moves with
                      // it, so the part that was in the square still is. A clip's later spans are
                      // decoded turned alike.
                      const Framing framed{zoom_, clampedOffset(turned->nominalSize(), zoom_, turnedPoint(offset_, orientation))};
                      ClipState clip = clip_;
                      if (clip.source)
                          clip.turn = composedOrientation(clip.turn, orientation);
                      return PictureState{turned, framed, emojiName_, fileName_, url_, clip, nullptr};
                  },
                  turnStepText(orientation), [] { return turnFailedMessage(); });
}

void EmojiEditor::removeBackground() {
    // A clip's frames are made anew for each span, which would bring its background back.
    if (!image_ || hasClip() || isWaitingForPicture())
        return;
    // Removed again, it is removed from the picture as it came.
    const PicturePtr original = cutout_ ? cutout_->original : image_;
    changePicture(
        [original](const PicturePtr&) -> PicturePtr {
            const VipsLayer* layer = VipsLayer::get();
            return layer ? layer->withoutBackground(*original) : nullptr;
        },
        [this, original](const PicturePtr& cut) {
            return PictureState{cut, framing(), emojiName_, fileName_, url_, clip_,
                                std::make_shared<const CutoutSource>(CutoutSource{original, {}})};
        },
        TurnText::tr("Remove Background"), [] { return noBackgroundMessage(); });
}

void EmojiEditor::markCutout(const CutoutMark& mark) {
    if (!canMarkCutout() || mark.points.empty())
        return;
    auto marked = std::make_shared<CutoutSource>(*cutout_);
    marked->marks.push_back(mark);
    // Why the segmentation failed, written by the worker before its result is taken.
    auto why = std::make_shared<QString>();
    changePicture(
        [marked, why](const PicturePtr& shown) -> PicturePtr {
            const VipsLayer* layer = VipsLayer::get();
            return layer ? layer->refinedCutout(*marked->original, *shown, marked->marks, why.get()) : nullptr;
        },
        [this, marked](const PicturePtr& cut) {
            return PictureState{cut, framing(), emojiName_, fileName_, url_, clip_, marked};
        },
        mark.keep ? TurnText::tr("Mark to Keep") : TurnText::tr("Mark to Remove"), [why] {
            return why->isEmpty() ? TurnText::tr("Couldn't cut the picture out with the marks")
                                  : TurnText::tr("Couldn't cut the picture out with the marks: %1").arg(*why);
        });
}

void EmojiEditor::setTurning(bool turning) {
    if (std::exchange(turning_, turning) != turning)
        Q_EMIT busyChanged(isBusy());
}

void EmojiEditor::cancelPictureChange() {
    if (!turning_)
        return;
    // What the worker makes is let go of when it comes; turns and exports waiting for it go on
    // with the picture as it is.
    ++changeId_;
    setTurning(false);
    pendingTurn_ = 1;
    status_->set(TurnText::tr("Cancelled"), EditorStatus::Kind::Note);
    runWaitingExports();
}

void EmojiEditor::changePicture(const std::function<PicturePtr(const PicturePtr&)>& change,
                                const std::function<PictureState(const PicturePtr&)>& after, const QString& step,
                                const std::function<QString()>& failure) {
    setTurning(true);
    const auto finish = [this, after, step, failure](const PicturePtr& changed) {
        setTurning(false);
        if (!changed) {
            pendingTurn_ = 1;
            status_->set(failure(), EditorStatus::Kind::Failure);
            return runWaitingExports();
        }
        trimHistory();
        const PictureState before = currentState();
        undoStack_->push(new PictureCommand(this, before, after(changed), PictureCommand::Kind::Turn, step));
        // Turns asked for meanwhile follow, then what waited for the picture.
        startTurn(std::exchange(pendingTurn_, 1));
    };
    if (!backgroundWork_)
        return finish(change(image_));
    const auto changeOnWorker = [change, picture = image_]() -> PicturePtr {
        PicturePtr changed = change(picture);
        if (changed)
            changed->prepareDisplay();
        return changed;
    };
    runInBackground(this, changeOnWorker, [this, finish, generation = generation_, id = ++changeId_](const PicturePtr& changed) {
        // A change cancelled, or followed by another, is let go of: the later one owns the state.
        if (id != changeId_)
            return;
        if (generation == generation_)
            return finish(changed);
        // Another picture came meanwhile (or the history moved): this change is for none of them.
        setTurning(false);
        pendingTurn_ = 1;
        runWaitingExports();
    });
}

} // namespace cropling
