// A picture whose pixels stay with a decoding helper, which renders it: all the program knows of
// it is its size and how many frames it has. It needs nothing of libvips.

#include "image/Picture.h"

#include "core/Orientation.h"
#include "image/DecoderSession.h"
#include "image/VipsLayer.h"

#include <QImage>

#include <algorithm>

namespace cropling {

namespace {

class SessionPicture final : public Picture {
public:
    SessionPicture(std::shared_ptr<DecoderSession> session, QSize fullSize, int frames, int turn = 1)
        : session_(std::move(session)), fullSize_(fullSize), frames_(std::max(frames, 1)), turn_(turn) {}

    int pixelWidth() const override { return 0; }
    int pixelHeight() const override { return 0; }
    QSize fullSize() const override { return fullSize_; }
    bool isOpenedForRender() const override { return true; }
    const QByteArray& encoded() const override {
        static const QByteArray none;
        return none;
    }
    std::optional<QByteArray> renderPng(const Framing& framing, int n, std::optional<OpenFailure>* why) const override {
        auto rendered = session_->render(framing, n, turn_);
        *why = rendered.why;
        return std::move(rendered.value);
    }
    std::optional<RgbaFrames> renderFrames(const Framing& framing, int n, int maxFrames,
                                           std::optional<OpenFailure>* why) const override {
        auto rendered = session_->renderFrames(framing, n, turn_, maxFrames);
        *why = rendered.why;
        return std::move(rendered.value);
    }
    int frameCount() const override { return frames_; }
    const Picture& frame(int) const override { return *this; }
    const std::vector<int>& frameDelays() const override {
        static const std::vector<int> none;
        return none;
    }
    int loopCount() const override { return 0; }
    // Nothing here holds pixels: asked all the same, the libvips layer gives its empty image.
    const vips::VImage& pixels() const override { return VipsLayer::get()->emptyPixels(); }
    void prepareDisplay() const override {}
    // The helper turns the picture as it renders it.
    std::shared_ptr<const Picture> turned(int orientation) const override {
        return std::make_shared<SessionPicture>(session_, uprightSize(fullSize_, orientation), frames_,
                                                composedOrientation(turn_, orientation));
    }
    const QImage& displayLevel(double) const override {
        static const QImage nothing;
        return nothing;
    }

private:
    std::shared_ptr<DecoderSession> session_;
    QSize fullSize_;
    int frames_;
    int turn_;
};

} // namespace

std::shared_ptr<const Picture> Picture::renderedBy(std::shared_ptr<DecoderSession> session, QSize fullSize, int frames) {
    return std::make_shared<SessionPicture>(std::move(session), fullSize, frames);
}

} // namespace cropling
