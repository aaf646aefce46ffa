#include "ContentView.h"

#include "export/ClipboardData.h"
#include "export/EmojiRenderer.h"
#include "export/ExportText.h"
#include "export/FileWriting.h"
#include "export/SaveDialog.h"
#include "intake/EmojiName.h"
#include "intake/FileBytes.h"
#include "intake/LocalPath.h"
#include "intake/PasteIntake.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

#include <cstring>

namespace cropling {

ContentView::ContentView(QObject* parent) : QObject(parent), emojiName_(kDefaultEmojiName) {}

void ContentView::setZoom(double zoom) {
    // Compared bit for bit so that a not-a-number zoom counts as a change only once.
    if (std::memcmp(&zoom, &zoom_, sizeof zoom) == 0)
        return;
    zoom_ = zoom;
    Q_EMIT changed();
}

void ContentView::setOffset(SizeD offset) {
    if (std::memcmp(&offset, &offset_, sizeof offset) == 0)
        return;
    offset_ = offset;
    Q_EMIT changed();
}

void ContentView::setEmojiName(const QString& name) {
    if (name == emojiName_)
        return;
    emojiName_ = name;
    Q_EMIT changed();
}

void ContentView::setDarkPreview(bool dark) {
    if (dark == darkPreview_)
        return;
    darkPreview_ = dark;
    Q_EMIT changed();
}

void ContentView::setShowingImporter(bool showing) {
    if (showing == showingImporter_)
        return;
    showingImporter_ = showing;
    Q_EMIT changed();
}

void ContentView::setSaveMessage(std::optional<QString> message) {
    if (message == saveMessage_)
        return;
    saveMessage_ = std::move(message);
    Q_EMIT changed();
}

void ContentView::setDropTargeted(bool targeted) {
    if (targeted == dropTargeted_)
        return;
    dropTargeted_ = targeted;
    Q_EMIT changed();
}

void ContentView::load(const QUrl& url) {
    // Linux has no sandbox grants to ask for: access is never "started", so there is nothing to stop.
    const QByteArray path = localPathBytes(url);
    const QByteArray fileName = path.isEmpty() ? url.fileName(QUrl::FullyEncoded).toUtf8() : lastPathComponent(path);
    PicturePtr picture;
    if (const auto bytes = readRegularFile(path))
        picture = Picture::decode(*bytes);
    if (picture)
        setImage(std::move(picture), deriveEmojiName(fileName));
    else
        setSaveMessage(QStringLiteral("Couldn't open ") + displayName(fileName));
}

void ContentView::setImage(PicturePtr picture, const QString& name) {
    // All five fields change together and the views hear about it once.
    QSignalBlocker quiet(this);
    image_ = std::move(picture);
    zoom_ = 1.0;
    offset_ = {0, 0};
    saveMessage_.reset();
    emojiName_ = name;
    quiet.unblock();
    Q_EMIT changed();
}

void ContentView::pasteImage() { pasteFrom(QGuiApplication::clipboard()->mimeData()); }

void ContentView::pasteFrom(const QMimeData* clipboard) {
    const PasteChoice choice = choosePaste(clipboard);
    if (choice.fileUrl)
        load(*choice.fileUrl);
    else if (choice.picture)
        setImage(choice.picture, QStringLiteral("pasted-emoji"));
    else
        setSaveMessage(QStringLiteral("No image on the clipboard."));
}

bool ContentView::handleDrop(const QMimeData* dropped) {
    const auto url = firstDroppedFile(dropped);
    if (!url)
        return false;
    QTimer::singleShot(0, this, [this, location = *url] { load(location); });
    return true;
}

SizeD ContentView::clamped(SizeD proposed) const {
    if (!image_)
        return {0, 0};
    return clampedOffset(image_->nominalSize(), zoom_, proposed);
}

void ContentView::dragChanged(SizeD translation) {
    // The offset is recomputed from the fixed base and the total translation every time, so the
    // picture follows the pointer one to one and comes back as soon as the pointer does.
    if (!dragBase_)
        dragBase_ = offset_;
    const SizeD base = dragBase_.value_or(SizeD{0, 0});
    setOffset(clamped({base.width + translation.width, base.height + translation.height}));
}

void ContentView::dragEnded() {
    if (!dragBase_)
        return;
    dragBase_.reset();
    Q_EMIT changed();
}

void ContentView::changeZoom(double zoom) {
    if (zoom == zoom_)
        return;
    setZoom(zoom);
    setOffset(clamped(offset_));
}

void ContentView::resetCrop() {
    changeZoom(1.0);
    setOffset({0, 0});
}

std::optional<QByteArray> ContentView::renderEmojiPNG(int outputSize) const {
    return cropling::renderEmojiPNG(image_.get(), zoom_, offset_, outputSize);
}

void ContentView::save() {
    const auto png = renderEmojiPNG(kEmojiSide);
    if (!png) {
        setSaveMessage(kRenderFailedMessage);
        return;
    }
    const QString suggested = exportFileName(emojiName_);
    const auto location = saveDialog_ ? saveDialog_(suggested) : askSaveLocation(nullptr, suggested);
    if (!location)
        return; // cancelled: the previous message stays
    if (const auto error = writeFileAtomically(*location, *png))
        setSaveMessage(saveFailedMessage(*error));
    else
        setSaveMessage(savedMessage(displayName(lastPathComponent(*location)), png->size()));
}

void ContentView::copyToClipboard() {
    const auto png = renderEmojiPNG(kEmojiSide);
    if (!png) {
        setSaveMessage(kRenderFailedMessage);
        return;
    }
    // The file is offered only when it was really written, in a folder no one else can touch, under
    // a name that stays inside it; the PNG data goes on the clipboard in every case.
    std::optional<QByteArray> file;
    if (const auto folder = privateExportFolder()) {
        const auto path = temporaryExportPath(*folder, exportFileName(emojiName_));
        if (path && !writeFileAtomically(*path, *png))
            file = path;
    }
    QGuiApplication::clipboard()->setMimeData(makeClipboardData(*png, file));
    setSaveMessage(copiedMessage(emojiName_));
}

} // namespace cropling
