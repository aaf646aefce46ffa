#include "EmojiEditor.h"

#include "core/CropGeometry.h"
#include "model/RunInBackground.h"
#include "core/EmojiName.h"
#include "core/StatusText.h"
#include "image/FaceFraming.h"
#include "io/FileBytes.h"
#include "io/LocalPath.h"
#include "model/FramePlayback.h"
#include "model/PasteIntake.h"
#include "model/PictureLoader.h"

#include <QUndoStack>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace cropling {

EmojiEditor::EmojiEditor(QObject* parent)
    : QObject(parent), emojiName_(kDefaultEmojiName), loader_(new PictureLoader(this)),
      playback_(new FramePlayback(this)), undoStack_(new QUndoStack(this)), status_(new EditorStatus(this)) {
    connect(playback_, &FramePlayback::frameChanged, this, &EmojiEditor::frameChanged);
    // An animation's GIF is made in the background once the framing rests, ready for a drag.
    // An export that takes a moment says how far it is; a quick one never shows it.
    progressShown_.setInterval(200);
    connect(&progressShown_, &QTimer::timeout, this, &EmojiEditor::showExportProgress);
    gifForDrag_.setSingleShot(true);
    gifForDrag_.setInterval(500);
    connect(&gifForDrag_, &QTimer::timeout, this, &EmojiEditor::prepareGifForDrag);
    for (auto changed : {&EmojiEditor::framingChanged, &EmojiEditor::imageChanged, &EmojiEditor::maxBytesChanged,
                         &EmojiEditor::effectChanged})
        connect(this, changed, &gifForDrag_, qOverload<>(&QTimer::start));
    // An effect's frames are made again once the framing rests, and play on their own timer.
    effectTimer_.setSingleShot(true);
    connect(&effectTimer_, &QTimer::timeout, this, [this] {
        ++effectIndex_;
        showNextEffectFrame();
    });
    effectRest_.setSingleShot(true);
    effectRest_.setInterval(150);
    connect(&effectRest_, &QTimer::timeout, this, &EmojiEditor::makeEffectPreview);
    for (auto changed : {&EmojiEditor::framingChanged, &EmojiEditor::imageChanged})
        connect(this, changed, this, [this] {
            // The frames of the framing before would lag behind the drag: the plain picture shows
            // until the new ones are made.
            if (!effect_.changesStill())
                return;
            ++effectRequest_;
            if (std::exchange(effectPreview_, nullptr))
                Q_EMIT frameChanged();
            effectRest_.start();
        });
    // Each step may hold a picture: the history is kept to what a session of framing needs.
    undoStack_->setUndoLimit(kUndoSteps);
    connect(loader_, &PictureLoader::loaded, this,
            [this](const PicturePtr& picture, bool final, const std::shared_ptr<const ClipSource>& clip) {
        setImage(picture, pending_.name, pending_.fileName, pending_.url, clip);
        if (!final)
            firstLook_ = picture;
    });
    connect(loader_, &PictureLoader::refined, this, &EmojiEditor::takeFinalPicture);
    connect(loader_, &PictureLoader::failed, this, [this](std::optional<OpenFailure> why, VideoCodec codec) {
        dropFirstLook();
        // A file says why it did not open; pasted data has its own message.
        status_->set(pending_.fileName.isEmpty() ? pending_.failure : couldNotOpenMessage(pending_.fileName, why, codec),
                         EditorStatus::Kind::Failure);
    });
    connect(loader_, &PictureLoader::busyChanged, this, &EmojiEditor::busyChanged);
}

// Compared bit for bit so that a not-a-number value counts as a change only once.
bool EmojiEditor::storeZoom(double zoom) {
    if (std::memcmp(&zoom, &zoom_, sizeof zoom) == 0)
        return false;
    zoom_ = zoom;
    return true;
}

bool EmojiEditor::storeOffset(QPointF offset) {
    const double next[2] = {offset.x(), offset.y()};
    const double current[2] = {offset_.x(), offset_.y()};
    if (std::memcmp(next, current, sizeof next) == 0)
        return false;
    offset_ = offset;
    return true;
}

PictureCommand* EmojiEditor::commandOf(const PicturePtr& picture) const {
    for (int i = undoStack_->count() - 1; i >= 0; --i) {
        const auto* command = dynamic_cast<const PictureCommand*>(undoStack_->command(i));
        if (command && command->picture() == picture)
            return const_cast<PictureCommand*>(command);
    }
    return nullptr;
}

void EmojiEditor::takeFinalPicture(const PicturePtr& picture) {
    // The step that brought the first look in brings the final picture in from now on, also when
    // the user has undone it meanwhile.
    if (PictureCommand* step = commandOf(firstLook_))
        step->refine(picture);
    if (isFirstLook())
        replaceImage(picture);
    firstLook_.reset();
    // Turns asked for on the first look are made on the final picture, before any export.
    if (pendingTurn_ != 1)
        return startTurn(std::exchange(pendingTurn_, 1));
    runWaitingExports();
}

void EmojiEditor::runWaitingExports() {
    for (const auto& exportNow : std::exchange(waitingForFinal_, {}))
        exportNow();
}

void EmojiEditor::dropFirstLook() {
    // An export waiting for the final picture will not get it.
    if (!std::exchange(waitingForFinal_, {}).empty())
        cancelExport();
    const PictureCommand* step = commandOf(firstLook_);
    firstLook_.reset();
    pendingTurn_ = 1;
    if (!step)
        return;
    // The first look and every step taken on it are undone and forgotten: what the editor held
    // before comes back, and no redo brings the picture that failed.
    int index = 0;
    while (index < undoStack_->count() && undoStack_->command(index) != step)
        ++index;
    if (undoStack_->index() <= index) {
        // Already undone by the user: a step that does nothing, pushed, clears what redo offers.
        auto* nothing = new QUndoCommand;
        nothing->setObsolete(true);
        undoStack_->push(nothing);
        return;
    }
    while (undoStack_->index() > index) {
        static_cast<EditStep*>(const_cast<QUndoCommand*>(undoStack_->command(undoStack_->index() - 1)))->forgetWhenUndone();
        undoStack_->undo();
    }
}

namespace {

// About what a picture keeps in memory: its pixels and their display copies, or for one opened
// only to be rendered, its encoded bytes.
long long memoryHeldBy(const Picture& picture) {
    if (picture.isOpenedForRender())
        return picture.encoded().size();
    return 2LL * 4 * picture.pixelWidth() * picture.pixelHeight() * std::max(picture.frameCount(), 1);
}

} // namespace

void EmojiEditor::trimHistory() {
    std::set<const Picture*> counted{image_.get()};
    long long held = 0;
    for (int i = 0; i < undoStack_->count(); ++i) {
        if (const auto* step = dynamic_cast<const PictureCommand*>(undoStack_->command(i))) {
            for (const PicturePtr& picture : step->pictures()) {
                if (picture && counted.insert(picture.get()).second)
                    held += memoryHeldBy(*picture);
            }
        }
    }
    // The picture shown stays, and the step to it: one step back is always there.
    if (held > kHistoryBytes)
        undoStack_->clear();
}

void EmojiEditor::setImage(PicturePtr picture, const QString& name, const QString& fileName, const QUrl& url,
                           std::shared_ptr<const ClipSource> clip) {
    firstLook_.reset();
    waitingForFinal_.clear();
    pendingTurn_ = 1;
    trimHistory();
    ClipState clipState;
    if (clip)
        clipState = {clip, defaultSpan(clip->durationMs()), 1};
    PictureState after{std::move(picture), Framing{}, name, fileName, url, clipState, nullptr};
    undoStack_->push(
        new PictureCommand(this, currentState(), after));
}

void EmojiEditor::applyPicture(const PictureState& state, bool turn) {
    ++generation_;
    // An export of the picture before is no longer wanted, nor its GIF for a drag; the new
    // picture clears the message.
    if (exportProgress_) {
        exportProgress_->cancel();
        setExporting(nullptr);
    }
    if (gifForDragProgress_)
        gifForDragProgress_->cancel();
    fileName_ = state.fileName;
    url_ = state.url;
    unreadable_.reset();
    // Every field is written before anyone hears of it, so no view sees a new picture with the
    // old framing.
    image_ = state.image;
    playback_->setPicture(image_);
    zoom_ = state.framing.zoom;
    offset_ = state.framing.offset;
    const bool hadMessage = status_->clearForNewPicture();
    const bool renamed = state.name != emojiName_;
    emojiName_ = state.name;
    if (!turn)
        Q_EMIT newPicture();
    takeClip(state.clip);
    cutout_ = state.cutout;
    Q_EMIT imageChanged();
    Q_EMIT framingChanged();
    if (renamed)
        Q_EMIT nameChanged();
    if (hadMessage)
        status_->announce();
}

void EmojiEditor::decodeForScreen(double devicePixelRatio) {
    previewPixelRatio_ = std::max(1.0, devicePixelRatio);
    loader_->setSides(workingShorterSide(devicePixelRatio), int(std::ceil(kCropSide * std::max(1.0, devicePixelRatio))));
}

void EmojiEditor::setAnimate(bool animate) { loader_->setAnimate(animate); }

void EmojiEditor::setBackgroundWork(bool background) {
    backgroundWork_ = background;
    loader_->setBackground(background);
}

bool EmojiEditor::isBusy() const { return loader_->isBusy() || turning_; }

void EmojiEditor::load(const QUrl& url, const QString& shownAs) {
    const QByteArray path = localPathBytes(url);
    const QByteArray fileName = path.isEmpty() ? url.fileName(QUrl::FullyEncoded).toUtf8() : lastPathComponent(path);
    const QString shown = shownAs.isEmpty() ? displayName(fileName) : shownAs;
    open([path] { return openPictureFile(path); }, deriveEmojiName(fileName), shown, couldNotOpenMessage(shown), url);
}

void EmojiEditor::pasteFromClipboard() { pasteFrom(QGuiApplication::clipboard()->mimeData()); }

void EmojiEditor::pasteFrom(const QMimeData* clipboard) {
    const PasteChoice choice = choosePaste(clipboard);
    const QString name = QStringLiteral("pasted-emoji");
    if (choice.fileUrl) {
        load(*choice.fileUrl);
    } else if (!choice.encoded.isEmpty()) {
        open([bytes = choice.encoded] { return PictureInput::bytes(bytes); }, name, QString(), noImageOnClipboardMessage());
    } else if (!choice.image.isNull()) {
        // Bare pixels become a PNG, so they take the same road as every other picture.
        open([image = choice.image] {
                QByteArray png;
                QBuffer buffer(&png);
                if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
                    return PictureInput();
                return PictureInput::bytes(png);
            },
            name, QString(), noImageOnClipboardMessage());
    } else {
        status_->set(noImageOnClipboardMessage(), EditorStatus::Kind::Failure);
    }
}

void EmojiEditor::open(const Source& source, const QString& name, const QString& fileName, const QString& failure,
                       const QUrl& url) {
    // A first look still waiting for its final picture never gets it now: it goes, as a failed
    // final decode would take it, so nothing stays behind at the preview's resolution.
    dropFirstLook();
    // Room for the picture on its way, before it arrives.
    trimHistory();
    // A newer load supersedes this one, and with it what its results will be called.
    pending_ = {name, fileName, failure, url};
    loader_->load(source);
}

void EmojiEditor::replaceImage(PicturePtr picture) {
    // The same picture at a finer resolution: its size and so the framing stay as they are.
    image_ = std::move(picture);
    playback_->keepPlace(image_);
    Q_EMIT imageChanged();
}

bool EmojiEditor::handleDrop(const QMimeData* dropped) {
    const auto url = firstDroppedFile(dropped);
    if (!url)
        return false;
    QTimer::singleShot(0, this, [this, location = *url] { load(location); });
    return true;
}

QPointF EmojiEditor::clamped(QPointF proposed) const { return clampedAt(zoom_, proposed); }

quint64 EmojiEditor::gestureFor(int idleMs) {
    // Held gestures (a drag, a slider held) are one step however long they last; otherwise steps
    // of the same kind that follow each other quickly (wheel notches, key presses) are one.
    if (!gestureHeld_ && (!lastStep_.isValid() || lastStep_.elapsed() > idleMs))
        ++gesture_;
    lastStep_.start();
    return gesture_;
}

void EmojiEditor::beginGesture() {
    gestureHeld_ = true;
    ++gesture_;
}

void EmojiEditor::endGesture() {
    gestureHeld_ = false;
    ++gesture_;
}

void EmojiEditor::changeFraming(Framing after, FramingChange change) {
    const Framing before{zoom_, offset_};
    const double was[3] = {before.zoom, before.offset.x(), before.offset.y()};
    const double will[3] = {after.zoom, after.offset.x(), after.offset.y()};
    if (std::memcmp(was, will, sizeof was) == 0)
        return;
    if (!image_)
        return applyFraming(after);
    undoStack_->push(new StateStep<Framing>(framingStepText(change), framingStepId(change),
                                            [this](const Framing& framing) { applyFraming(framing); }, before, after,
                                            gestureFor(1000)));
}

void EmojiEditor::applyFraming(const Framing& framing) {
    const bool zoomed = storeZoom(framing.zoom);
    const bool moved = storeOffset(framing.offset);
    if (!zoomed && !moved)
        return;
    Q_EMIT framingChanged();
    // What a framing command did is no longer what the square shows, and a failure is behind the
    // user once they go on working.
    status_->framingChanged();
}

QPointF EmojiEditor::clampedAt(double zoom, QPointF proposed) const {
    return clampedOffset(image_ ? std::optional(image_->nominalSize()) : std::nullopt, zoom, proposed);
}

double EmojiEditor::lowestZoom() const {
    return cropling::lowestZoom(image_ ? std::optional(image_->nominalSize()) : std::nullopt);
}

void EmojiEditor::setOffset(QPointF proposed) {
    changeFraming({zoom_, clamped(proposed)}, FramingChange::Move);
}

void EmojiEditor::setZoom(double zoom) {
    if (zoom == zoom_)
        return;
    changeFraming({zoom, clampedAt(zoom, offset_)}, FramingChange::Zoom);
}

void EmojiEditor::zoomAbout(double zoom, QPointF anchor) {
    if (!image_ || !std::isfinite(zoom))
        return;
    const double bounded = std::clamp(zoom, lowestZoom(), kMaxZoom);
    changeFraming({bounded, clampedAt(bounded, offsetZoomedAbout(offset_, zoom_, bounded, anchor))},
                  FramingChange::Zoom);
}

void EmojiEditor::setZoomUnclamped(double zoom) {
    if (storeZoom(zoom))
        Q_EMIT framingChanged();
}

void EmojiEditor::resetCrop() { changeFraming({1.0, {0, 0}}, FramingChange::Reset); }

void EmojiEditor::fitToSquare() {
    if (image_)
        changeFraming({fitZoom(image_->nominalSize()), {0, 0}}, FramingChange::Fit);
}

void EmojiEditor::autoFrame() {
    if (!image_)
        return;
    const auto apply = [this](const AutoFramingOutcome& outcome) {
        if (!outcome.framing)
            return status_->set(autoFrameFailedMessage(outcome.why), EditorStatus::Kind::Failure);
        const double zoom = outcome.framing->zoom;
        changeFraming({zoom, clampedAt(zoom, outcome.framing->offset)}, FramingChange::AutoFrame);
        status_->setFramingNote(framedFacesMessage(outcome.framing->faces, outcome.framing->kept));
    };
    runInBackgroundIf(
        backgroundWork_, this, [picture = image_, current = framing()] { return cropling::autoFrame(*picture, current); },
        [apply, this, generation = generation_](const AutoFramingOutcome& outcome) {
            if (generation == generation_)
                apply(outcome);
        });
}

void EmojiEditor::setEmojiName(const QString& name) {
    if (name == emojiName_)
        return;
    // Typing is one step until it pauses.
    undoStack_->push(new StateStep<QString>(nameStepText(), kNameStepId, [this](const QString& named) { applyName(named); },
                                            emojiName_, name, gestureFor(2000)));
}

void EmojiEditor::applyName(const QString& name) {
    if (name == emojiName_)
        return;
    emojiName_ = name;
    Q_EMIT nameChanged();
    status_->nameChanged();
}

const Picture* EmojiEditor::shownFrame() const { return image_ ? &image_->frame(playback_->currentFrame()) : nullptr; }

} // namespace cropling
