#pragma once

// Reads new pictures for an editor and has the decoding helper decode them: at once, or on worker
// threads so that the event loop never waits for them, with a quick reduced decode first where the
// format has one. A later load supersedes an earlier one still running (its helper is ended); only
// the latest is ever reported, and it always ends in a final picture or a failure.

#include "core/OpenFailure.h"
#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "model/ClipSource.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace cropling {

// A local file for the decoding helper to read, opened here without blocking, or why it cannot be.
PictureInput openPictureFile(const QByteArray& path);

class PictureLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject* parent = nullptr) : QObject(parent) {}
    ~PictureLoader() override;

    // Where a picture comes from: an open file or bytes, or why it cannot be had. Runs on a worker
    // in the background.
    using Source = std::function<PictureInput()>;

    // The shorter side to decode at (0: full resolution), and of the quick first look (0: none).
    // A video clip's frames are decoded smaller: they are many, and video is soft.
    void setSides(int decode, int preview) {
        decodeSide_ = decode;
        previewSide_ = preview;
        clipSide_ = preview > 0 ? preview * 3 / 2 : decode;
    }
    void setBackground(bool background) { background_ = background; }
    // Whether an animation is decoded whole (its first frame shows first); otherwise only its
    // first frame is, as a still.
    void setAnimate(bool animate) { animate_ = animate; }
    bool isBusy() const { return busy_; }
    int decodeSide() const { return decodeSide_; }
    int clipSide() const { return clipSide_; }

    void load(const Source& source);
    // Ends the load in progress, if any, without a report.
    void cancel();

    // One step of a load, as the worker hands it over.
    struct Step {
        PicturePtr picture;
        bool final = false;
        std::optional<OpenFailure> why; // with no picture: why it failed, when known
        VideoCodec codec = VideoCodec::Unknown; // and the codec, when a clip's is why
        std::shared_ptr<const ClipSource> clip = nullptr; // for a video clip: where its spans are decoded from
    };

Q_SIGNALS:
    // The first picture of a load: final, or a first look that a finer decode will replace; a
    // video clip comes with its source.
    void loaded(const PicturePtr& picture, bool final, const std::shared_ptr<const ClipSource>& clip);
    // The final picture after a first look: same size, finer resolution.
    void refined(const PicturePtr& picture);
    // Nothing could be read or decoded; after a first look, the final decode failed.
    void failed(std::optional<OpenFailure> why, VideoCodec codec);
    void busyChanged(bool busy);

private:
    void deliver(const Step& step, bool* shown);
    void setBusy(bool busy);

    int decodeSide_ = 0;
    int previewSide_ = 0;
    int clipSide_ = 0;
    bool background_ = false;
    bool animate_ = true;
    bool busy_ = false;
    // Counts loads, so that late results of an earlier one are recognised and dropped.
    quint64 generation_ = 0;
    std::shared_ptr<DecoderSession> current_;
};

} // namespace cropling
