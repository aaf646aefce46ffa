// Turning the picture (rotations and the flip, with its framing turned alike) and removing its
// background: each an undoable step that brings the same picture in changed, made on a worker.

#include "EmojiEditor.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "core/StatusText.h"
#include "image/VipsLayer.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

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
    turning_ = true;
    if (!backgroundWork_)
        return finishTurn(image_->turned(orientation), orientation);
    auto* watcher = new QFutureWatcher<PicturePtr>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, orientation, generation = generation_] {
        watcher->deleteLater();
        if (generation == generation_)
            return finishTurn(watcher->result(), orientation);
        // Another picture came meanwhile (or the history moved): this turn is for none of them.
        turning_ = false;
        pendingTurn_ = 1;
        runWaitingExports();
    });
    watcher->setFuture(QtConcurrent::run([picture = image_, orientation]() -> PicturePtr {
        PicturePtr turned = picture->turned(orientation);
        if (turned)
            turned->prepareDisplay();
        return turned;
    }));
}

void EmojiEditor::finishTurn(const PicturePtr& turned, int orientation) {
    if (!turned) {
        turning_ = false;
        pendingTurn_ = 1;
        setStatusMessage(turnFailedMessage(), StatusKind::Failure);
        return runWaitingExports();
    }
    trimHistory();
    // The scene turns about the square's centre: the picture's centre moves with it, so the part
    // that was in the square still is.
    const Framing after{zoom_, clampedOffset(turned->nominalSize(), zoom_, turnedPoint(offset_, orientation))};
    const PictureState before{image_, framing(), emojiName_, fileName_, url_, clip_};
    // A clip's later spans are decoded turned alike.
    ClipState clip = clip_;
    if (clip.source)
        clip.turn = composedOrientation(clip.turn, orientation);
    undoStack_->push(new PictureCommand(this, before, PictureState{turned, after, emojiName_, fileName_, url_, clip},
                                        PictureCommand::Kind::Turn, turnStepText(orientation)));
    turning_ = false;
    startTurn(std::exchange(pendingTurn_, 1));
}

void EmojiEditor::removeBackground() {
    // A clip's frames are made anew for each span, which would bring its background back.
    if (!image_ || hasClip() || isWaitingForPicture())
        return;
    turning_ = true;
    const auto finish = [this](const PicturePtr& cut) {
        turning_ = false;
        if (!cut) {
            setStatusMessage(noBackgroundMessage(), StatusKind::Failure);
            return runWaitingExports();
        }
        trimHistory();
        const PictureState before{image_, framing(), emojiName_, fileName_, url_, clip_};
        PictureState after = before;
        after.image = cut;
        undoStack_->push(new PictureCommand(this, before, after, PictureCommand::Kind::Turn, TurnText::tr("Remove Background")));
        startTurn(std::exchange(pendingTurn_, 1));
    };
    const auto cutOut = [](const PicturePtr& picture) -> PicturePtr {
        const VipsLayer* layer = VipsLayer::get();
        PicturePtr cut = layer ? layer->withoutBackground(*picture) : nullptr;
        if (cut)
            cut->prepareDisplay();
        return cut;
    };
    if (!backgroundWork_)
        return finish(cutOut(image_));
    auto* watcher = new QFutureWatcher<PicturePtr>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, finish, generation = generation_] {
        watcher->deleteLater();
        if (generation == generation_)
            return finish(watcher->result());
        turning_ = false;
        pendingTurn_ = 1;
        runWaitingExports();
    });
    watcher->setFuture(QtConcurrent::run(cutOut, image_));
}

} // namespace cropling
