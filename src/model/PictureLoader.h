#pragma once

// Reads and decodes new pictures for an editor: at once, or on worker threads so that the event
// loop never waits for them, with a quick reduced decode first where the format has one. A later
// load supersedes an earlier one still running; only the latest is ever reported.

#include "image/Picture.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <optional>

namespace cropling {

class PictureLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject* parent = nullptr) : QObject(parent) {}

    // Where a picture's bytes come from; nothing when they cannot be had. Runs on a worker in the
    // background.
    using Source = std::function<std::optional<QByteArray>()>;

    // The shorter side to decode at (0: full resolution), and of the quick first look (0: none).
    void setSides(int decode, int preview) {
        decodeSide_ = decode;
        previewSide_ = preview;
    }
    // Only the header is read: the render decodes what it shows.
    void setRenderOnce(bool once) { renderOnce_ = once; }
    void setBackground(bool background) { background_ = background; }
    bool isBusy() const { return busy_; }

    void load(const Source& source);

Q_SIGNALS:
    // The picture, then possibly the same picture at a finer resolution (`finer` set).
    void loaded(const PicturePtr& picture, bool finer);
    // Nothing could be read or decoded.
    void failed();
    void busyChanged(bool busy);

private:
    void setBusy(bool busy);

    int decodeSide_ = 0;
    int previewSide_ = 0;
    bool renderOnce_ = false;
    bool background_ = false;
    bool busy_ = false;
    // Counts loads, so that late results of an earlier one are recognised and dropped.
    quint64 generation_ = 0;
};

} // namespace cropling
