#include "EmojiEditor.h"

#include "core/CropGeometry.h"
#include "core/EmojiName.h"
#include "core/StatusText.h"
#include "image/EmojiRenderer.h"
#include "io/FileBytes.h"
#include "io/FileWriting.h"
#include "io/LocalPath.h"
#include "io/PrivateFolder.h"
#include "model/ClipboardData.h"
#include "model/PasteIntake.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include <cstring>

namespace cropling {

EmojiEditor::EmojiEditor(QObject* parent) : QObject(parent), emojiName_(kDefaultEmojiName) {}

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

void EmojiEditor::setImage(PicturePtr picture, const QString& name) {
    // Every field is written before anyone hears of it, so no view sees a new picture with the
    // old framing.
    image_ = std::move(picture);
    zoom_ = 1.0;
    offset_ = {0, 0};
    const bool hadMessage = statusMessage_.has_value();
    statusMessage_.reset();
    const bool renamed = name != emojiName_;
    emojiName_ = name;
    Q_EMIT imageChanged();
    Q_EMIT framingChanged();
    if (renamed)
        Q_EMIT nameChanged();
    if (hadMessage)
        Q_EMIT statusChanged();
}

void EmojiEditor::load(const QUrl& url) {
    const QByteArray path = localPathBytes(url);
    const QByteArray fileName = path.isEmpty() ? url.fileName(QUrl::FullyEncoded).toUtf8() : lastPathComponent(path);
    PicturePtr picture;
    if (const auto bytes = readRegularFile(path))
        picture = Picture::decode(*bytes);
    if (picture)
        setImage(std::move(picture), deriveEmojiName(fileName));
    else
        setStatusMessage(couldNotOpenMessage(displayName(fileName)));
}

void EmojiEditor::pasteFromClipboard() { pasteFrom(QGuiApplication::clipboard()->mimeData()); }

void EmojiEditor::pasteFrom(const QMimeData* clipboard) {
    const PasteChoice choice = choosePaste(clipboard);
    if (choice.fileUrl)
        load(*choice.fileUrl);
    else if (choice.picture)
        setImage(choice.picture, QStringLiteral("pasted-emoji"));
    else
        setStatusMessage(noImageOnClipboardMessage());
}

bool EmojiEditor::handleDrop(const QMimeData* dropped) {
    const auto url = firstDroppedFile(dropped);
    if (!url)
        return false;
    QTimer::singleShot(0, this, [this, location = *url] { load(location); });
    return true;
}

QPointF EmojiEditor::clamped(QPointF proposed) const {
    return clampedOffset(image_ ? std::optional(image_->nominalSize()) : std::nullopt, zoom_, proposed);
}

void EmojiEditor::setOffset(QPointF proposed) {
    if (storeOffset(clamped(proposed)))
        Q_EMIT framingChanged();
}

void EmojiEditor::setZoom(double zoom) {
    if (zoom == zoom_)
        return;
    const bool zoomed = storeZoom(zoom);
    const bool moved = storeOffset(clamped(offset_));
    if (zoomed || moved)
        Q_EMIT framingChanged();
}

void EmojiEditor::setZoomUnclamped(double zoom) {
    if (storeZoom(zoom))
        Q_EMIT framingChanged();
}

void EmojiEditor::resetCrop() {
    const bool zoomed = zoom_ != 1.0 && storeZoom(1.0);
    const bool moved = storeOffset({0, 0});
    if (zoomed || moved)
        Q_EMIT framingChanged();
}

void EmojiEditor::setEmojiName(const QString& name) {
    if (name == emojiName_)
        return;
    emojiName_ = name;
    Q_EMIT nameChanged();
}

void EmojiEditor::setStatusMessage(std::optional<QString> message) {
    if (message == statusMessage_)
        return;
    statusMessage_ = std::move(message);
    Q_EMIT statusChanged();
}

std::optional<QByteArray> EmojiEditor::renderEmojiPNG(int outputSize) const {
    return cropling::renderEmojiPNG(image_.get(), zoom_, offset_, outputSize);
}

void EmojiEditor::save() {
    const auto png = renderEmojiPNG(kEmojiSide);
    if (!png) {
        setStatusMessage(renderFailedMessage());
        return;
    }
    const auto location = saveDialog_ ? saveDialog_(exportFileName(emojiName_)) : std::nullopt;
    if (!location)
        return; // cancelled: the previous message stays
    QString error;
    if (writeFileAtomically(*location, *png, &error))
        setStatusMessage(savedMessage(displayName(lastPathComponent(*location)), png->size()));
    else
        setStatusMessage(saveFailedMessage(error));
}

void EmojiEditor::copyToClipboard() {
    const auto png = renderEmojiPNG(kEmojiSide);
    if (!png) {
        setStatusMessage(renderFailedMessage());
        return;
    }
    // The file is offered only when it was really written, in a folder no one else can touch, under
    // a name that stays inside it; the PNG data goes on the clipboard in every case.
    std::optional<QByteArray> file;
    if (const auto folder = privateExportFolder()) {
        const auto path = temporaryExportPath(*folder, exportFileName(emojiName_));
        if (path && writeFileAtomically(*path, *png))
            file = path;
    }
    QGuiApplication::clipboard()->setMimeData(makeClipboardData(*png, file));
    setStatusMessage(copiedMessage(emojiName_));
}

} // namespace cropling
