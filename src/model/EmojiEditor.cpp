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
#include "model/PictureLoader.h"

#include <QBuffer>
#include <QClipboard>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

#include <cerrno>
#include <cstring>

namespace cropling {

namespace {

// The file for the decoding helper to read, or why it cannot be opened.
PictureInput openPicture(const QByteArray& path) {
    int error = 0;
    const int fd = openRegularFile(path, &error);
    if (fd >= 0)
        return PictureInput::file(fd);
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PictureInput::failed(OpenFailure::NotFound);
    case EACCES:
    case EPERM: return PictureInput::failed(OpenFailure::NotReadable);
    case EFBIG: return PictureInput::failed(OpenFailure::TooLarge);
    default: return PictureInput::failed(OpenFailure::NotPicture);
    }
}

} // namespace

EmojiEditor::EmojiEditor(QObject* parent)
    : QObject(parent), emojiName_(kDefaultEmojiName), loader_(new PictureLoader(this)) {
    connect(loader_, &PictureLoader::loaded, this, [this](const PicturePtr& picture, bool final) {
        std::optional<Snapshot> before;
        if (!final)
            before = Snapshot{image_, zoom_, offset_, emojiName_, fileName_};
        setImage(picture, pending_.name, pending_.fileName);
        beforeFirstLook_ = std::move(before);
    });
    connect(loader_, &PictureLoader::refined, this, [this](const PicturePtr& picture) {
        beforeFirstLook_.reset();
        replaceImage(picture);
        for (const auto& exportNow : std::exchange(waitingForFinal_, {}))
            exportNow();
    });
    connect(loader_, &PictureLoader::failed, this, [this](std::optional<OpenFailure> why) {
        restoreBeforeFirstLook();
        // A file says why it did not open; pasted data has its own message.
        setStatusMessage(pending_.fileName.isEmpty() ? pending_.failure : couldNotOpenMessage(pending_.fileName, why));
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

void EmojiEditor::restoreBeforeFirstLook() {
    waitingForFinal_.clear();
    if (!beforeFirstLook_)
        return;
    Snapshot before = std::move(*beforeFirstLook_);
    beforeFirstLook_.reset();
    ++generation_;
    fileName_ = before.fileName;
    unreadable_.reset();
    image_ = std::move(before.image);
    zoom_ = before.zoom;
    offset_ = before.offset;
    const bool renamed = before.name != emojiName_;
    emojiName_ = before.name;
    Q_EMIT newPicture();
    Q_EMIT imageChanged();
    Q_EMIT framingChanged();
    if (renamed)
        Q_EMIT nameChanged();
}

void EmojiEditor::setImage(PicturePtr picture, const QString& name, const QString& fileName) {
    ++generation_;
    beforeFirstLook_.reset();
    waitingForFinal_.clear();
    fileName_ = fileName;
    unreadable_.reset();
    // Every field is written before anyone hears of it, so no view sees a new picture with the
    // old framing.
    image_ = std::move(picture);
    zoom_ = 1.0;
    offset_ = {0, 0};
    const bool hadMessage = statusMessage_.has_value();
    statusMessage_.reset();
    const bool renamed = name != emojiName_;
    emojiName_ = name;
    Q_EMIT newPicture();
    Q_EMIT imageChanged();
    Q_EMIT framingChanged();
    if (renamed)
        Q_EMIT nameChanged();
    if (hadMessage)
        Q_EMIT statusChanged();
}

void EmojiEditor::decodeForScreen(double devicePixelRatio) {
    loader_->setSides(workingShorterSide(devicePixelRatio), int(std::ceil(kCropSide * std::max(1.0, devicePixelRatio))));
}

void EmojiEditor::setRenderOnce(bool once) { loader_->setRenderOnce(once); }

void EmojiEditor::setBackgroundWork(bool background) {
    backgroundWork_ = background;
    loader_->setBackground(background);
}

bool EmojiEditor::isBusy() const { return loader_->isBusy(); }

void EmojiEditor::load(const QUrl& url) {
    const QByteArray path = localPathBytes(url);
    const QByteArray fileName = path.isEmpty() ? url.fileName(QUrl::FullyEncoded).toUtf8() : lastPathComponent(path);
    const QString shown = displayName(fileName);
    open([path] { return openPicture(path); }, deriveEmojiName(fileName), shown, couldNotOpenMessage(shown));
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
        setStatusMessage(noImageOnClipboardMessage());
    }
}

void EmojiEditor::open(const Source& source, const QString& name, const QString& fileName, const QString& failure) {
    // A newer load supersedes this one, and with it what its results will be called.
    pending_ = {name, fileName, failure};
    loader_->load(source);
}

void EmojiEditor::replaceImage(PicturePtr picture) {
    // The same picture at a finer resolution: its size and so the framing stay as they are.
    image_ = std::move(picture);
    Q_EMIT imageChanged();
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

void EmojiEditor::zoomAbout(double zoom, QPointF anchor) {
    if (!image_ || !std::isfinite(zoom))
        return;
    const double bounded = std::clamp(zoom, kMinZoom, kMaxZoom);
    const QPointF target = offsetZoomedAbout(offset_, zoom_, bounded, anchor);
    const bool zoomed = storeZoom(bounded);
    const bool moved = storeOffset(clamped(target));
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
    return cropling::renderEmojiPNG(image_.get(), zoom_, offset_, outputSize, &unreadable_);
}

QString EmojiEditor::renderFailure() const {
    return unreadable_ ? couldNotOpenMessage(fileName_, unreadable_) : renderFailedMessage();
}

void EmojiEditor::renderThen(std::function<void(const QByteArray&)> then) {
    // A first look is not what the user exports: the export waits for the final picture.
    if (isFirstLook()) {
        waitingForFinal_.push_back([this, then] { renderThen(then); });
        return;
    }
    // A render that gives nothing says why on the status line, for every export alike.
    const auto deliver = [this, then](const std::optional<QByteArray>& png) {
        if (png)
            then(*png);
        else
            setStatusMessage(renderFailure());
    };
    if (!backgroundWork_)
        return deliver(renderEmojiPNG(kEmojiSide));
    auto* watcher = new QFutureWatcher<std::optional<QByteArray>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, deliver, generation = generation_] {
        watcher->deleteLater();
        if (generation == generation_)
            deliver(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([picture = image_, zoom = zoom_, offset = offset_] {
        return cropling::renderEmojiPNG(picture.get(), zoom, offset, kEmojiSide);
    }));
}

void EmojiEditor::save() {
    renderThen([this](const QByteArray& png) {
        const auto location = saveDialog_ ? saveDialog_(exportFileName(emojiName_)) : std::nullopt;
        if (!location)
            return; // cancelled: the previous message stays
        QString error;
        if (writeFileAtomically(*location, png, &error))
            setStatusMessage(savedMessage(displayName(lastPathComponent(*location)), png.size()));
        else
            setStatusMessage(saveFailedMessage(error));
    });
}

void EmojiEditor::copyToClipboard() {
    renderThen([this](const QByteArray& png) {
        QGuiApplication::clipboard()->setMimeData(exportData(png));
        setStatusMessage(copiedMessage(emojiName_));
    });
}

QMimeData* EmojiEditor::exportData(const QByteArray& png) const {
    // The file is offered only when it was really written, in a folder no one else can touch, under
    // a name that stays inside it; the PNG data goes out in every case.
    std::optional<QByteArray> file;
    if (const auto folder = privateExportFolder()) {
        const auto path = temporaryExportPath(*folder, exportName(emojiName_));
        if (path && writeFileAtomically(*path, png))
            file = path;
    }
    return makeClipboardData(png, file);
}

QMimeData* EmojiEditor::dragData() const {
    const auto png = renderEmojiPNG(kEmojiSide);
    return png ? exportData(*png) : nullptr;
}

} // namespace cropling
