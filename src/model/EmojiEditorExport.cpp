// The editor's exports: save, copy and drag, each through the one export job, on a worker when
// the editor works in the background.

#include "EmojiEditor.h"

#include "core/CropGeometry.h"
#include "core/StatusText.h"
#include "image/EmojiRenderer.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "io/PrivateFolder.h"
#include "model/ClipboardData.h"

#include <QClipboard>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QtConcurrent/QtConcurrentRun>

namespace cropling {

void EmojiEditor::setMaxBytes(long long bytes) {
    if (bytes == maxBytes_ || bytes < 1)
        return;
    maxBytes_ = bytes;
    Q_EMIT maxBytesChanged();
}

ExportRequest EmojiEditor::exportRequest() const { return ExportRequest{exportFormat_, kEmojiSide, maxBytes_}; }

ExportOutcome EmojiEditor::exportEmoji(const ExportRequest& request) const {
    ExportOutcome outcome = cropling::exportEmoji(image_.get(), zoom_, offset_, request);
    unreadable_ = outcome.why;
    return outcome;
}

std::optional<QByteArray> EmojiEditor::renderEmojiPNG(int outputSize) const {
    return cropling::renderEmojiPNG(image_.get(), zoom_, offset_, outputSize, &unreadable_);
}

QString EmojiEditor::exportFailure(const ExportOutcome& outcome) const {
    return exportFailureMessage(outcome, fileName_, maxBytes_);
}

QString EmojiEditor::renderFailure() const {
    return unreadable_ ? couldNotOpenMessage(fileName_, unreadable_) : renderFailedMessage();
}

void EmojiEditor::renderThen(std::function<void(const ExportedEmoji&)> then) {
    // A first look is not what the user exports: the export waits for the final picture.
    if (isFirstLook()) {
        waitingForFinal_.push_back([this, then] { renderThen(then); });
        return;
    }
    // A render that gives nothing says why on the status line, for every export alike.
    const auto deliver = [this, then, made = madeFor()](const ExportOutcome& outcome) {
        if (outcome) {
            if (outcome.emoji->gif)
                lastGif_ = {made, *outcome.emoji};
            then(*outcome.emoji);
        } else {
            setStatusMessage(exportFailure(outcome), StatusKind::Failure);
        }
    };
    if (!backgroundWork_)
        return deliver(exportEmoji(exportRequest()));
    auto* watcher = new QFutureWatcher<ExportOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, deliver, generation = generation_] {
        watcher->deleteLater();
        if (generation == generation_)
            deliver(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([picture = image_, zoom = zoom_, offset = offset_, request = exportRequest()] {
        return cropling::exportEmoji(picture.get(), zoom, offset, request);
    }));
}

void EmojiEditor::save() {
    renderThen([this](ExportedEmoji emoji) {
        const auto location = saveDialog_ ? saveDialog_(exportFileName(emojiName_, emoji.gif)) : std::nullopt;
        if (!location)
            return; // cancelled: the previous message stays
        // A name chosen with the other suffix gets that format: the first frame as a PNG, a still
        // as a GIF of one frame. The square is small, so this render takes a moment only.
        const QByteArray suffix = location->right(4).toLower();
        if ((suffix == ".png" && emoji.gif) || (suffix == ".gif" && !emoji.gif)) {
            const ExportOutcome other =
                exportEmoji(ExportRequest{emoji.gif ? ExportFormat::Png : ExportFormat::Gif, kEmojiSide, maxBytes_});
            if (!other)
                return setStatusMessage(exportFailure(other), StatusKind::Failure);
            emoji = *other.emoji;
        }
        QString error;
        if (writeFileAtomically(*location, emoji.bytes, &error))
            setStatusMessage(savedMessage(displayName(lastPathComponent(*location)), emoji.bytes.size(),
                                          emoji.gif ? emoji.frames : 1));
        else
            setStatusMessage(saveFailedMessage(error), StatusKind::Failure);
    });
}

void EmojiEditor::copyToClipboard() {
    renderThen([this](const ExportedEmoji& emoji) {
        QGuiApplication::clipboard()->setMimeData(exportData(emoji));
        setStatusMessage(copiedMessage(emojiName_, emoji.gif));
    });
}

QMimeData* EmojiEditor::exportData(const ExportedEmoji& emoji) const {
    // The file is offered only when it was really written, in a folder no one else can touch, under
    // a name that stays inside it; the PNG data goes out in every case.
    std::optional<QByteArray> file;
    if (const auto folder = privateExportFolder()) {
        const auto path = temporaryExportPath(*folder, exportName(emojiName_), emoji.gif ? ".gif" : ".png");
        if (path && writeFileAtomically(*path, emoji.bytes))
            file = path;
    }
    return makeClipboardData(emoji.bytes, emoji.mimeType(), file);
}

QMimeData* EmojiEditor::dragData() const {
    // A first look is not what the user exports; the drag waits for the final picture.
    if (isFirstLook())
        return nullptr;
    // An animation's GIF takes seconds to fit its budget: a drag takes the one made in the
    // background for the framing shown, and waits for it otherwise.
    if (backgroundWork_ && image_ && image_->isAnimated())
        return lastGif_ && lastGif_->first == madeFor() ? exportData(lastGif_->second) : nullptr;
    const ExportOutcome outcome = exportEmoji(exportRequest());
    return outcome ? exportData(*outcome.emoji) : nullptr;
}

EmojiEditor::MadeFor EmojiEditor::madeFor() const { return {generation_, zoom_, offset_, maxBytes_, image_.get()}; }

void EmojiEditor::prepareGifForDrag() {
    if (!backgroundWork_ || !image_ || !image_->hasFrames() || isFirstLook() ||
        (lastGif_ && lastGif_->first == madeFor()))
        return;
    auto* watcher = new QFutureWatcher<ExportOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, made = madeFor()] {
        watcher->deleteLater();
        const ExportOutcome outcome = watcher->result();
        if (outcome && made == madeFor())
            lastGif_ = {made, *outcome.emoji};
    });
    watcher->setFuture(QtConcurrent::run([picture = image_, zoom = zoom_, offset = offset_, request = exportRequest()] {
        return cropling::exportEmoji(picture.get(), zoom, offset, request);
    }));
}

} // namespace cropling
