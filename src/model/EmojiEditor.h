#pragma once

// The editor of one window: the picture, its framing, the emoji's name and the status message, and
// every operation on them. Each property has its own notify signal, so a view repaints only for
// what it shows; a write is visible at once to the next read.

#include "core/ChatTarget.h"
#include "core/OpenFailure.h"
#include "core/Progress.h"
#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "model/EditCommands.h"
#include "model/EmojiExport.h"
#include "model/ExportJob.h"
#include "model/EditorStatus.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMimeData;
class QUndoStack;

namespace cropling {

class FramePlayback;
class PictureLoader;

class EmojiEditor : public QObject {
    Q_OBJECT
public:
    explicit EmojiEditor(QObject* parent = nullptr);

    const PicturePtr& image() const { return image_; }
    // The frame of the picture on show now: the picture itself for a still. Views draw this.
    const Picture* shownFrame() const;
    // Plays an animation for every view; frameChanged() tells them to draw the next frame.
    FramePlayback* playback() const { return playback_; }
    double zoom() const { return zoom_; }
    // The picture's centre relative to the crop square's centre, in the square's logical pixels.
    QPointF offset() const { return offset_; }
    Framing framing() const { return {zoom_, offset_}; }
    const QString& emojiName() const { return emojiName_; }
    // What the status line says of the editor's work.
    EditorStatus* status() const { return status_; }

    // New pictures are decoded at the working resolution for a screen of this pixel ratio (see
    // workingShorterSide()), with a first look sized for the crop square; until this is called,
    // at full resolution.
    void decodeForScreen(double devicePixelRatio);
    // Whether animations are decoded whole (by default) or only their first frame, as a still.
    void setAnimate(bool animate);
    // For a window: pictures are read and decoded, and exports rendered, on worker threads, so the
    // event loop never waits for them. A quick reduced decode shows first where the format has
    // one. A new picture supersedes one still being decoded. Off, everything happens at once.
    void setBackgroundWork(bool background);
    // Whether a picture is being read or decoded.
    bool isBusy() const;
    // Whether the picture shown is a quick first look that the final decode will replace.
    bool isFirstLook() const { return firstLook_ && image_ == firstLook_; }

    // The history of undoable steps: framing, the name, new pictures, turns, cut-outs and their
    // marks, clip spans and effects.
    QUndoStack* undoStack() const { return undoStack_; }
    static constexpr int kUndoSteps = 40;
    // The most the history may hold in pictures other than the one shown; beyond it the pictures
    // before the last one are dropped with their steps, so that opening one picture after another
    // does not grow the program without end.
    static constexpr long long kHistoryBytes = 160LL << 20;
    // A drag or a held slider: every change until endGesture() is one step.
    void beginGesture();
    void endGesture();

    // Intake: every new picture comes through setImage, which also resets the framing, takes the
    // name and clears the status message.
    void setImage(PicturePtr picture, const QString& name, const QString& fileName = QString(), const QUrl& url = QUrl(),
                  std::shared_ptr<const ClipSource> clip = nullptr);
    // The file the picture came from, as shown to people; empty for pasted pixels.
    const QString& fileName() const { return fileName_; }
    // Where the picture came from: a local file's location, or empty for pasted data.
    const QUrl& pictureUrl() const { return url_; }
    // `shownAs` names the file in messages; by default its name without the folder.
    void load(const QUrl& url, const QString& shownAs = QString());
    void pasteFromClipboard();
    void pasteFrom(const QMimeData* clipboard);
    // Accepts a drop that carries a file location and loads the first one once control returns to
    // the event loop; false (and nothing happens) for any other drop.
    bool handleDrop(const QMimeData* dropped);

    // Framing. Every offset that is stored has been clamped to the current picture and zoom.
    QPointF clamped(QPointF proposed) const;
    void setOffset(QPointF proposed);
    // A zoom from the user (slider, reset): the offset is pulled back inside the new limits.
    void setZoom(double zoom);
    // A zoom from the wheel, a pinch or the keyboard: kept within the user's range, with the picture
    // point under `anchor` (measured from the square's centre) staying where it is, as far as the
    // clamp allows.
    void zoomAbout(double zoom, QPointF anchor);
    // A zoom from a script, stored as given with no range check, and the offset left as it is.
    void setZoomUnclamped(double zoom);
    void resetCrop();
    // The zoom at which the whole picture shows inside the square, centred, with a transparent
    // margin where it is not square.
    void fitToSquare();
    // The user's lowest zoom for the picture: its fit zoom when that is below 1.
    double lowestZoom() const;
    // Frames the face in the picture (or its busiest part), as one undoable step, and says what it
    // found on the status line; in the background on a worker.
    void autoFrame();
    // Turns the picture as an orientation says (kTurnLeft, kTurnRight, kFlipAcross in
    // core/Orientation.h), with the framing turned alike so that the same part stays in the
    // square, as one undoable step. The pixels are turned on a worker; turns asked for meanwhile
    // follow in order, and exports asked for meanwhile wait for them.
    void turnPicture(int orientation);
    // Makes a plain background (a studio, a wall, a flat colour) transparent, as one undoable step
    // made on a worker; says so when the picture has none. Not for a clip.
    void removeBackground();
    // After a removal: a mark of what to keep or remove, painted over the picture, cuts the
    // subject out anew with every mark so far, as one undoable step made on a worker.
    void markCutout(const CutoutMark& mark);
    bool canMarkCutout() const { return cutout_ && !isWaitingForPicture(); }
    bool hasCutout() const { return bool(cutout_); }
    // Lets go of a turn, a removal or a mark being made: the picture stays as it is.
    void cancelPictureChange();
    bool isTurning() const { return turning_; }

    // A video clip: where it is read from, the span shown, and the turn its frames were given.
    const ClipState& clip() const { return clip_; }
    bool hasClip() const { return bool(clip_.source); }
    // Moves the clip's span or changes its speed (kept to the clip), as one undoable step; changes
    // within a gesture (a dragged handle) are one step. The span's frames are decoded on a worker
    // and take the place of the animation shown, with the framing kept; exports wait for them.
    void setSpan(ClipSpan span);
    // Whether the frames on show are not yet those of the span.
    bool isDecodingSpan() const { return clip_ != shownClip_; }
    // A reaction effect and a caption on the still (core/Effects.h): one undoable step each (typing
    // a caption is one until it pauses). The export makes a GIF of the effect; the views play its
    // frames, made on a worker once the framing rests.
    const EffectSettings& effect() const { return effect_; }
    void setEffect(const EffectSettings& effect);
    // The frame of the effect to show now over the square, as a square picture; null without an
    // effect or while its frames are made.
    const Picture* effectFrame() const;

    // Small frames across the whole clip, for a timeline, once they are decoded; null until then.
    const PicturePtr& clipThumbnails() const { return clipThumbnails_; }

    void setEmojiName(const QString& name);

    // Export. A picture opened for one render may turn out unreadable only now; the status message
    // then says so as a failed load would.
    ExportOutcome exportEmoji(const ExportRequest& request) const;
    // The export of the picture as shown, to run on any thread.
    ExportJob exportJob(const ExportRequest& request) const;
    std::optional<QByteArray> renderEmojiPNG(int outputSize) const;
    QString renderFailure() const;
    // What save, copy and drag deliver: by default a GIF for an animation, a PNG for a still.
    void setExportFormat(ExportFormat format) { exportFormat_ = format; }
    // The largest GIF an animation is saved or copied as, and its most frames (0: any number);
    // the chat service's caps by default.
    long long maxBytes() const { return limits_.maxBytes; }
    void setMaxBytes(long long bytes);
    int maxFrames() const { return limits_.maxFrames; }
    void setMaxFrames(int frames);
    // Save asks for a location and writes the emoji there; an animation's GIF is made while the
    // dialog is open. Copy puts it on the clipboard. One export runs at a time: while one does,
    // both are ignored, and the status line says how far it is.
    void save();
    // `finished`, when given, hears how the copy ended: what was put on the clipboard, or why
    // nothing was (a script reads this, not the status line).
    void copyToClipboard(std::function<void(const ExportOutcome&)> finished = {});
    bool isExporting() const { return exportProgress_ != nullptr; }
    // Stops the export that runs; nothing is delivered and the previous message comes back.
    void cancelExport();
    // What a drag of the emoji out of the window carries: as a copy, the PNG and a file of it in
    // the private folder. Nothing when there is nothing to render.
    QMimeData* dragData() const;

    // Where save() asks for the location: given the suggested file name, a path or nothing for a
    // cancel. The window puts its own file dialog here; tests put a stand-in. Without one a save
    // renders but writes nothing.
    using SaveDialog = std::function<std::optional<QByteArray>(const QString& suggestedFileName)>;
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

Q_SIGNALS:
    // A new picture came in through setImage(); imageChanged() follows it, and also a finer
    // decode of the same picture.
    void newPicture();
    void imageChanged();
    void framingChanged();
    void busyChanged(bool busy);
    void nameChanged();
    void frameChanged();
    void maxBytesChanged();
    // A clip came or went, its span or speed changed, its frames or thumbnails arrived.
    void clipChanged();
    void effectChanged();
    void exportingChanged(bool exporting);

private:
    // Where a new picture comes from (see PictureLoader::Source). Runs on a worker in the background.
    using Source = std::function<PictureInput()>;
    void open(const Source& source, const QString& name, const QString& fileName, const QString& failure,
              const QUrl& url = QUrl());
    void replaceImage(PicturePtr picture);
    void trimHistory();
    void setBusy(bool busy);
    // Renders the emoji, on a worker in the background, and hands it to `then` on this thread
    // unless a new picture arrived meanwhile; a render that gives nothing sets the status message.
    // False, and nothing happens, while another export runs.
    // `failed`, when given, hears of a render that gave nothing, after the status line.
    using Failed = std::function<void(const ExportOutcome&)>;
    bool renderThen(std::function<void(const ExportedEmoji&)> then, Failed failed = {});
    void runExport(const std::shared_ptr<Progress>& progress, std::function<void(const ExportedEmoji&)> then, Failed failed);
    void writeSaved(const QByteArray& location, ExportedEmoji emoji);
    // After a dialog: false, and the status line says why, when the picture changed meanwhile.
    bool stillShows(quint64 generation);
    void setExporting(std::shared_ptr<Progress> progress);
    void showExportProgress();
    std::shared_ptr<Progress> exportProgress_;
    QTimer progressShown_;
    ExportRequest exportRequest() const;
    QMimeData* exportData(const ExportedEmoji& emoji) const;
    // What an export was made for: the picture, its framing and the budget.
    struct MadeFor {
        quint64 generation;
        Framing framing;
        GifLimits limits;
        const Picture* picture;
        EffectSettings effect;
        bool operator==(const MadeFor&) const = default;
    };
    MadeFor madeFor() const;
    void prepareGifForDrag();
    std::optional<std::pair<MadeFor, ExportedEmoji>> lastGif_;
    QTimer gifForDrag_;
    std::shared_ptr<Progress> gifForDragProgress_;
    bool storeZoom(double zoom);
    bool storeOffset(QPointF offset);

    // The undoable steps apply their states through these (a new picture's step, which holds more,
    // by friendship; the others through the function they are given).
    friend class PictureCommand;
    void applyEffect(const EffectSettings& effect);
    void makeEffectPreview();
    void showNextEffectFrame();
    EffectSettings effect_;
    PicturePtr effectPreview_;
    int effectIndex_ = 0;
    QTimer effectTimer_;
    QTimer effectRest_;
    quint64 effectRequest_ = 0;
    double previewPixelRatio_ = 1.0;
    void applySpan(const ClipSpan& span);
    void decodeClipFrames();
    void finishClipFrames(const ClipState& wanted, const Outcome<PicturePtr>& frames);
    void takeClip(const ClipState& clip);
    ClipState clip_;
    ClipState shownClip_;
    bool clipDecoding_ = false;
    PicturePtr clipThumbnails_;
    ClipState thumbnailsFor_;
    void applyFraming(const Framing& framing);
    void applyName(const QString& name);
    // A turn of the picture shown is not a new picture: nothing that names the picture changes.
    void applyPicture(const PictureState& state, bool turn = false);
    void changeFraming(Framing after, FramingChange change);
    QPointF clampedAt(double zoom, QPointF proposed) const;
    quint64 gestureFor(int idleMs);

    // A first look stands in for the picture until the final decode replaces it; if that fails,
    // its step is undone and forgotten. Exports asked for meanwhile wait for the final picture.
    PictureCommand* commandOf(const PicturePtr& picture) const;
    void takeFinalPicture(const PicturePtr& picture);
    void dropFirstLook();
    PicturePtr firstLook_;
    std::vector<std::function<void()>> waitingForFinal_;
    // Whether the picture is being turned, and the turns asked for since, composed. A save or
    // copy asked for meanwhile waits for the turn, with the exports waiting for a first look.
    bool isWaitingForPicture() const { return isFirstLook() || turning_ || isDecodingSpan(); }
    void startTurn(int orientation);
    // Runs `change` on the picture shown, on a worker in the background, and brings what it
    // gives in as the step named `step`, in the state `after` makes of it; says `failure` when it
    // gives nothing. Turns, exports and spans asked for meanwhile wait for it.
    void changePicture(const std::function<PicturePtr(const PicturePtr&)>& change,
                       const std::function<PictureState(const PicturePtr&)>& after, const QString& step,
                       const std::function<QString()>& failure);
    void runWaitingExports();
    bool turning_ = false;
    int changeId_ = 0; // of the latest change of the picture on a worker
    void setTurning(bool turning);
    std::shared_ptr<const CutoutSource> cutout_;
    // What a step that brings a picture in holds as the state before it.
    PictureState currentState() const { return {image_, framing(), emojiName_, fileName_, url_, clip_, cutout_}; }
    int pendingTurn_ = 1;

    PicturePtr image_;
    double zoom_ = 1.0;
    QPointF offset_{0, 0};
    QString emojiName_;
    SaveDialog saveDialog_;
    bool backgroundWork_ = false;
    // Counts new pictures, so that an export rendered for an earlier one is dropped.
    quint64 generation_ = 0;
    PictureLoader* loader_;
    FramePlayback* playback_;
    ExportFormat exportFormat_ = ExportFormat::Auto;
    GifLimits limits_ = gifLimitsOf(defaultChatTarget());
    QUndoStack* undoStack_;
    EditorStatus* status_;
    quint64 gesture_ = 0;
    bool gestureHeld_ = false;
    QElapsedTimer lastStep_;
    // What the load in progress will be called, and what its failure says.
    struct Pending {
        QString name;
        QString fileName;
        QString failure;
        QUrl url;
    } pending_;
    // The picture's file name as shown in messages, and why its render found it unreadable.
    QString fileName_;
    QUrl url_;
    mutable std::optional<OpenFailure> unreadable_;
};

} // namespace cropling
