// The editor's exports: save, copy and drag, each through the one export job, on a worker when
// the editor works in the background, one at a time, with its progress on the status line.

#include "EmojiEditor.h"
#include "model/RunInBackground.h"

#include "core/CropGeometry.h"
#include "core/StatusText.h"
#include "image/EmojiRenderer.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "model/ClipboardData.h"

#include <QClipboard>
#include <QGuiApplication>

namespace cropling {

void EmojiEditor::setMaxBytes(long long bytes) {
    if (bytes == limits_.maxBytes || bytes < 1)
        return;
    limits_.maxBytes = bytes;
    Q_EMIT maxBytesChanged();
}

void EmojiEditor::setMaxFrames(int frames) { limits_.maxFrames = std::max(frames, 0); }

ExportRequest EmojiEditor::exportRequest() const { return ExportRequest{exportFormat_, kEmojiSide, limits_, effect_}; }

ExportJob EmojiEditor::exportJob(const ExportRequest& request) const {
    return ExportJob(image_, framing(), request, fileName_);
}

ExportOutcome EmojiEditor::exportEmoji(const ExportRequest& request) const {
    ExportOutcome outcome = exportJob(request).run();
    unreadable_ = outcome.why;
    return outcome;
}

std::optional<QByteArray> EmojiEditor::renderEmojiPNG(int outputSize) const {
    return cropling::renderEmojiPNG(image_.get(), framing(), outputSize, &unreadable_);
}

QString EmojiEditor::renderFailure() const {
    return unreadable_ ? couldNotOpenMessage(fileName_, unreadable_) : renderFailedMessage();
}

void EmojiEditor::setExporting(std::shared_ptr<Progress> progress) {
    const bool was = isExporting();
    exportProgress_ = std::move(progress);
    if (exportProgress_) {
        status_->beginProgress();
        progressShown_.start();
    } else {
        progressShown_.stop();
        // The progress goes with the export, and what the line said before comes back; a message
        // set meanwhile stays.
        status_->endProgress();
    }
    if (was != isExporting())
        Q_EMIT exportingChanged(isExporting());
}

void EmojiEditor::showExportProgress() {
    // Only while the line is the export's: a message set since it started is not written over.
    if (exportProgress_)
        status_->showProgress(exportProgressText(exportsGif(image_.get(), exportFormat_, effect_), exportProgress_->fraction()));
}

void EmojiEditor::cancelExport() {
    if (!exportProgress_)
        return;
    exportProgress_->cancel();
    setExporting(nullptr);
}

bool EmojiEditor::stillShows(quint64 generation) {
    if (generation == generation_)
        return true;
    status_->set(pictureChangedMessage(), EditorStatus::Kind::Failure);
    return false;
}

bool EmojiEditor::renderThen(std::function<void(const ExportedEmoji&)> then, Failed failed) {
    // One export at a time: a second Save or Copy while one runs is ignored, not queued.
    if (isExporting())
        return false;
    const auto progress = std::make_shared<Progress>();
    if (backgroundWork_)
        setExporting(progress);
    runExport(progress, std::move(then), std::move(failed));
    return true;
}

void EmojiEditor::runExport(const std::shared_ptr<Progress>& progress, std::function<void(const ExportedEmoji&)> then,
                            Failed failed) {
    // A first look is not what the user exports: the export waits for the final picture.
    if (isFirstLook()) {
        waitingForFinal_.push_back([this, progress, then, failed] {
            if (progress == exportProgress_)
                runExport(progress, then, failed);
        });
        return;
    }
    // A render that gives nothing says why on the status line, for every export alike.
    const auto deliver = [this, then, failed, progress, made = madeFor()](const ExportOutcome& outcome) {
        if (progress == exportProgress_)
            setExporting(nullptr);
        if (outcome.failure == ExportFailure::Cancelled || progress->cancelled())
            return;
        if (outcome) {
            if (outcome.emoji->gif)
                lastGif_ = {made, *outcome.emoji};
            then(*outcome.emoji);
        } else {
            status_->set(describe(outcome), EditorStatus::Kind::Failure);
            if (failed)
                failed(outcome);
        }
    };
    // The GIF made in the background for the framing shown is the one an export would make.
    if (lastGif_ && lastGif_->first == madeFor() && exportsGif(image_.get(), exportFormat_, effect_)) {
        ExportOutcome outcome;
        outcome.emoji = lastGif_->second;
        return deliver(outcome);
    }
    if (!backgroundWork_)
        return deliver(exportEmoji(exportRequest()));
    runInBackground(this, [job = exportJob(exportRequest()), progress] { return job.run(progress.get()); },
                    [this, deliver, progress, generation = generation_](const ExportOutcome& outcome) {
                        if (generation == generation_)
                            deliver(outcome);
                        else if (progress == exportProgress_)
                            setExporting(nullptr);
                    });
}

void EmojiEditor::save() {
    if (isExporting())
        return;
    // A save asked for while a turn is made, or a clip's span decoded, is for the picture that
    // comes: it starts once that is shown, so that its dialog does not find the picture changed
    // under it.
    if (turning_ || isDecodingSpan())
        return waitingForFinal_.push_back([this] { save(); });
    const bool gif = exportsGif(image_.get(), exportFormat_, effect_);
    const quint64 savedFor = generation_;
    if (!gif || !backgroundWork_) {
        // A still renders in a moment: rendered first, as every export checks it has something.
        renderThen([this, savedFor](const ExportedEmoji& emoji) {
            const auto location = saveDialog_ ? saveDialog_(exportFileName(emojiName_, emoji.gif)) : std::nullopt;
            if (location && stillShows(savedFor))
                writeSaved(*location, emoji);
        });
        return;
    }
    // An animation's GIF takes seconds to fit: the dialog opens at once and the GIF is made while
    // it is open; whichever ends last writes the file.
    struct Meeting {
        std::optional<QByteArray> location;
        std::optional<ExportedEmoji> emoji;
    };
    const auto meeting = std::make_shared<Meeting>();
    renderThen([this, meeting](const ExportedEmoji& emoji) {
        if (meeting->location)
            writeSaved(*meeting->location, emoji);
        else
            meeting->emoji = emoji;
    });
    const auto location = saveDialog_ ? saveDialog_(exportFileName(emojiName_, true)) : std::nullopt;
    if (!location)
        return cancelExport(); // the previous message stays
    // Another picture arrived while the dialog was open: its GIF was stopped, and nothing of it is
    // written under the name chosen for this one.
    if (!stillShows(savedFor))
        return;
    if (meeting->emoji)
        writeSaved(*location, *meeting->emoji);
    else if (isExporting())
        meeting->location = location;
    // Otherwise the export failed while the dialog was open, and the status line says why.
}

void EmojiEditor::writeSaved(const QByteArray& location, ExportedEmoji emoji) {
    // A name chosen with the other suffix gets that format: the first frame as a PNG, a still as a
    // GIF of one frame. The square is small, so this render takes a moment only.
    const QByteArray suffix = location.right(4).toLower();
    if ((suffix == ".png" && emoji.gif) || (suffix == ".gif" && !emoji.gif)) {
        ExportRequest other = exportRequest();
        other.format = emoji.gif ? ExportFormat::Png : ExportFormat::Gif;
        const ExportOutcome outcome = exportEmoji(other);
        if (!outcome)
            return status_->set(describe(outcome), EditorStatus::Kind::Failure);
        emoji = *outcome.emoji;
    }
    QString error;
    if (writeFileAtomically(location, emoji.bytes, &error))
        status_->set(savedMessage(displayName(lastPathComponent(location)), emoji.bytes.size(), emoji.frames,
                                      emoji.sourceFrames));
    else
        status_->set(saveFailedMessage(error), EditorStatus::Kind::Failure);
}

void EmojiEditor::copyToClipboard(std::function<void(const ExportOutcome&)> finished) {
    if (turning_ || isDecodingSpan())
        return waitingForFinal_.push_back([this, finished] { copyToClipboard(finished); });
    renderThen(
        [this, finished](const ExportedEmoji& emoji) {
            QGuiApplication::clipboard()->setMimeData(exportData(emoji));
            status_->set(copiedMessage(emojiName_, emoji.gif, emoji.bytes.size(), emoji.frames, emoji.sourceFrames));
            if (finished) {
                ExportOutcome copied;
                copied.emoji = emoji;
                finished(copied);
            }
        },
        finished);
}

QMimeData* EmojiEditor::exportData(const ExportedEmoji& emoji) const {
    return exportClipboardData(emoji, emojiName_);
}

QMimeData* EmojiEditor::dragData() const {
    // A first look is not what the user exports; the drag waits for the final picture.
    if (isWaitingForPicture())
        return nullptr;
    // An animation's GIF takes seconds to fit its budget: a drag takes the one made in the
    // background for the framing shown, and waits for it otherwise.
    if (backgroundWork_ && image_ && (image_->isAnimated() || effect_.animates()))
        return lastGif_ && lastGif_->first == madeFor() ? exportData(lastGif_->second) : nullptr;
    const ExportOutcome outcome = exportEmoji(exportRequest());
    return outcome ? exportData(*outcome.emoji) : nullptr;
}

EmojiEditor::MadeFor EmojiEditor::madeFor() const {
    return {generation_, framing(), limits_, image_.get(), effect_};
}

void EmojiEditor::prepareGifForDrag() {
    if (!backgroundWork_ || !image_ || !(image_->hasFrames() || effect_.animates()) || isWaitingForPicture() ||
        (lastGif_ && lastGif_->first == madeFor()))
        return;
    // Only the GIF for the framing shown now is wanted: one made for a framing left behind stops.
    if (gifForDragProgress_)
        gifForDragProgress_->cancel();
    gifForDragProgress_ = std::make_shared<Progress>();
    runInBackground(this, [job = exportJob(exportRequest()), progress = gifForDragProgress_] { return job.run(progress.get()); },
                    [this, made = madeFor()](const ExportOutcome& outcome) {
                        if (outcome && made == madeFor())
                            lastGif_ = {made, *outcome.emoji};
                    });
}

} // namespace cropling
