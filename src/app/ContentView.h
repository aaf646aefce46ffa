#pragma once

// The editor of one window: every piece of its state in one record, and every operation on it.
// Views read the fields and listen to changed(); a write is visible at once to the next read.

#include "editor/CropGeometry.h"
#include "intake/Picture.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QMimeData;

namespace cropling {

class ContentView : public QObject {
    Q_OBJECT
public:
    explicit ContentView(QObject* parent = nullptr);

    static constexpr double cropSide = kCropSide;

    const PicturePtr& image() const { return image_; }
    double zoom() const { return zoom_; }
    SizeD offset() const { return offset_; }
    std::optional<SizeD> dragBase() const { return dragBase_; }
    const QString& emojiName() const { return emojiName_; }
    bool darkPreview() const { return darkPreview_; }
    bool showingImporter() const { return showingImporter_; }
    const std::optional<QString>& saveMessage() const { return saveMessage_; }
    bool dropTargeted() const { return dropTargeted_; }

    // Plain writes. The zoom is stored as given, unguarded: the scripted run may set any number.
    void setZoom(double zoom);
    void setOffset(SizeD offset);
    void setEmojiName(const QString& name);
    void setDarkPreview(bool dark);
    void setShowingImporter(bool showing);
    void setSaveMessage(std::optional<QString> message);
    void setDropTargeted(bool targeted);

    // Intake: every new picture comes through setImage.
    void load(const QUrl& url);
    void setImage(PicturePtr picture, const QString& name);
    void pasteImage();
    void pasteFrom(const QMimeData* clipboard);
    // Accepts a drop that carries a file location and loads the first one once control returns to
    // the event loop; false (and nothing happens) for any other drop.
    bool handleDrop(const QMimeData* dropped);

    // Crop editing.
    SizeD clamped(SizeD proposed) const;
    void dragChanged(SizeD translation);
    void dragEnded();
    // A zoom change from the slider or the reset: the offset is pulled back inside the new limits.
    void changeZoom(double zoom);
    void resetCrop();

    // Export.
    std::optional<QByteArray> renderEmojiPNG(int outputSize) const;
    void save();
    void copyToClipboard();

    // Where save() asks for the location: given the suggested file name, a path or nothing for a
    // cancel. The window puts its own file dialog here; tests put a stand-in.
    using SaveDialog = std::function<std::optional<QByteArray>(const QString& suggestedFileName)>;
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

Q_SIGNALS:
    // Any field changed; views re-read what they show.
    void changed();

private:
    PicturePtr image_;
    double zoom_ = 1.0;
    SizeD offset_{0, 0};
    std::optional<SizeD> dragBase_;
    QString emojiName_;
    bool darkPreview_ = false;
    bool showingImporter_ = false;
    std::optional<QString> saveMessage_;
    bool dropTargeted_ = false;
    SaveDialog saveDialog_;
};

} // namespace cropling
