#include "Picture.h"

#include "image/shared/VipsRender.h"

#include "core/Orientation.h"

#include "image/DisplayPyramid.h"
#include "image/decoding/Decoding.h"


#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include <vips/vips8>

namespace cropling {

using vips::VImage;

namespace {

// A picture whose pixels are here, in libvips, or whose bytes are, for one render.
class VipsPicture final : public Picture {
public:
    explicit VipsPicture(VImage upright) : pixels_(std::move(upright)) {
        if (!pixels_.is_null())
            fullSize_ = QSize(pixels_.width(), pixels_.height());
    }

    int pixelWidth() const override { return pixels_.is_null() ? 0 : pixels_.width(); }
    int pixelHeight() const override { return pixels_.is_null() ? 0 : pixels_.height(); }
    QSize fullSize() const override { return fullSize_; }
    bool isOpenedForRender() const override { return !encoded_.isEmpty(); }
    const QByteArray& encoded() const override { return encoded_; }
    std::optional<QByteArray> renderPng(const Framing& framing, int n, std::optional<OpenFailure>* why) const override {
        if (isOpenedForRender())
            return renderOpenedPng(encoded_, orientation_, framing, n, why);
        return renderPicturePng(*this, framing, n, why);
    }
    std::optional<RgbaFrames> renderFrames(const Framing& framing, int n, int maxFrames,
                                           std::optional<OpenFailure>*) const override {
        return renderPictureFrames(*this, framing, n, maxFrames);
    }
    int frameCount() const override { return frameCount_; }
    const Picture& frame(int index) const override {
        // The first frame is drawn from this picture's own pyramid, which every still use shares.
        if (index <= 0 || index >= int(frames_.size()))
            return *this;
        return *frames_[size_t(index)];
    }
    const std::vector<int>& frameDelays() const override { return delaysMs_; }
    int loopCount() const override { return loop_; }
    const VImage& pixels() const override { return pixels_; }
    std::shared_ptr<const Picture> turned(int orientation) const override;

    void prepareDisplay() const override {
        prepareOwnDisplay();
        // An animation's frames on every core: a clip's span is a hundred frames or more.
        std::atomic<size_t> next = 1;
        std::exception_ptr failure;
        std::mutex failureMutex;
        const auto work = [this, &next, &failure, &failureMutex] {
            try {
                for (size_t i = next++; i < frames_.size(); i = next++)
                    static_cast<const VipsPicture&>(*frames_[i]).prepareOwnDisplay();
            } catch (...) {
                // Handed to the caller once every thread is joined, as one thread would throw it.
                std::lock_guard lock(failureMutex);
                failure = std::current_exception();
                next = frames_.size();
            }
        };
        std::vector<std::thread> helpers;
        const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
        for (unsigned i = 1; i < cores && frames_.size() > 8; ++i)
            helpers.emplace_back(work);
        work();
        for (std::thread& helper : helpers)
            helper.join();
        if (failure)
            std::rethrow_exception(failure);
    }

    const QImage& displayLevel(double devicePixelsPerPixel) const override {
        // A picture opened for one render has no pixels to show.
        static const QImage nothing;
        if (isOpenedForRender())
            return nothing;
        prepareOwnDisplay();
        return display_->levelFor(devicePixelsPerPixel);
    }

    // The buffer the pixels of an animation's frames lie in: first, so it goes after everything
    // that points into it.
    std::shared_ptr<void> memory_;
    VImage pixels_;
    QSize fullSize_;
    // Kept only by a picture opened for one render, whose pixels are decoded by that render.
    QByteArray encoded_;
    int orientation_ = 1; // how the picture opened for one render shows its stored pixels
    // An animation's frames after the first, which is this picture itself.
    std::vector<std::shared_ptr<const Picture>> frames_;
    std::vector<int> delaysMs_;
    int loop_ = 0;
    int frameCount_ = 1;
    bool shareDisplay_ = false;

private:
    void prepareOwnDisplay() const {
        if (isOpenedForRender())
            return;
        std::call_once(displayMade_, [this] { display_ = std::make_unique<DisplayPyramid>(pixels_, shareDisplay_); });
    }

    // Made on the first paint: a scripted save never draws.
    mutable std::once_flag displayMade_;
    mutable std::unique_ptr<DisplayPyramid> display_;
};

std::shared_ptr<const Picture> VipsPicture::turned(int orientation) const {
    const QSize size = uprightSize(fullSize_, orientation);
    if (isOpenedForRender()) {
        auto picture = std::make_shared<VipsPicture>(VImage());
        picture->fullSize_ = size;
        picture->encoded_ = encoded_;
        picture->orientation_ = composedOrientation(orientation_, orientation);
        picture->frameCount_ = frameCount_;
        return picture;
    }
    try {
        // Each frame is turned into memory of its own; lossless, as turns and flips are.
        std::vector<std::shared_ptr<const Picture>> frames;
        for (int i = 0; i < std::max<int>(1, int(frames_.size())); ++i) {
            const VImage turnedPixels = decoding::turnUpright(frame(i).pixels(), orientation).copy_memory();
            frames.push_back(Picture::fromPixels(turnedPixels, size, !frames_.empty()));
        }
        if (frames_.empty())
            return frames.front();
        return Picture::animated(std::move(frames), delaysMs_, loop_);
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

} // namespace

std::shared_ptr<Picture> Picture::fromPixels(const VImage& pixels, QSize fullSize, bool frame) {
    auto picture = std::make_shared<VipsPicture>(pixels);
    picture->shareDisplay_ = frame;
    if (fullSize.isValid())
        picture->fullSize_ = fullSize;
    return picture;
}

std::shared_ptr<const Picture> Picture::animated(std::vector<std::shared_ptr<const Picture>> frames,
                                                 std::vector<int> delaysMs, int loop, std::shared_ptr<void> memory) {
    if (frames.empty() || frames.size() != delaysMs.size())
        return nullptr;
    auto picture = std::make_shared<VipsPicture>(frames.front()->pixels());
    picture->fullSize_ = frames.front()->fullSize();
    picture->frameCount_ = int(frames.size());
    picture->delaysMs_ = std::move(delaysMs);
    picture->loop_ = loop;
    picture->memory_ = std::move(memory);
    picture->shareDisplay_ = true;
    picture->frames_ = std::move(frames);
    return picture;
}

std::shared_ptr<const Picture> Picture::decode(const QByteArray& encoded, int minShorterSide) {
    const auto header = decoding::readHeader(encoded);
    return header ? decodeHeaded(*header, minShorterSide) : nullptr;
}

std::shared_ptr<const Picture> Picture::decodeHeaded(const decoding::Header& header, int minShorterSide) {
    // A second attempt without the embedded profile only when there is one that may be at fault.
    for (const bool useProfile : {true, false}) {
        if (!useProfile && !header.hasProfile)
            break;
        try {
            VImage stored = decoding::loadReduced(header, minShorterSide, true);
            // Turning reads the picture out of order, which a stream cannot serve: the reduced pixels
            // are gathered in memory first.
            if (header.orientation > 1)
                stored = decoding::withDeadline(stored).copy_memory();
            const VImage upright = decoding::turnUpright(stored, header.orientation);
            return fromPixels(decoding::withDeadline(decoding::toSrgb8(upright, useProfile)).copy_memory(), header.upright);
        } catch (const vips::VError& error) {
            decoding::noteFailure(error);
            vips_error_clear();
        }
    }
    return nullptr;
}

std::shared_ptr<const Picture> Picture::decodePreview(const QByteArray& encoded, int minShorterSide) {
    const auto header = decoding::readHeader(encoded);
    if (!header || !decoding::hasCheapReduction(*header, minShorterSide))
        return nullptr;
    return decodeHeaded(*header, minShorterSide);
}

std::shared_ptr<const Picture> Picture::openForRender(const QByteArray& encoded) {
    const auto header = decoding::readHeader(encoded);
    return header ? openHeaded(*header) : nullptr;
}

std::shared_ptr<const Picture> Picture::openHeaded(const decoding::Header& header) {
    auto picture = std::make_shared<VipsPicture>(VImage());
    picture->fullSize_ = header.upright;
    picture->encoded_ = header.encoded;
    picture->orientation_ = header.orientation;
    return picture;
}

} // namespace cropling
