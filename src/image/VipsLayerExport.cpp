// The libvips part of the layer as the program loads it: one object behind the module's one
// entry point, which starts libvips before it hands the object out.

#include "image/FaceFraming.h"
#include "image/GifEncoder.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"
#include "image/shared/VipsRender.h"
#include "image/shared/VipsRuntime.h"

#include <vips/vips8>

namespace cropling {

namespace {

using vips::VImage;

// An image over pixels that lie elsewhere. The interpretation is set on the image itself: a copy
// with another one would be a new image whose pixels are made again, in memory of its own.
VImage over(const std::uint8_t* pixels, QSize size, int bands) {
    VImage image = VImage::new_from_memory(const_cast<std::uint8_t*>(pixels), size_t(size.width()) * size_t(size.height()) * size_t(bands),
                                           size.width(), size.height(), bands, VIPS_FORMAT_UCHAR);
    image.get_image()->Type = VIPS_INTERPRETATION_sRGB;
    return image;
}

class Layer final : public VipsLayer {
public:
    std::shared_ptr<const Picture> fromPixels(void* pixels, QSize size, int bands, QSize fullSize) const override {
        try {
            const VImage bitmap = VImage::new_from_memory_steal(
                pixels, size_t(size.width()) * size_t(size.height()) * size_t(bands), size.width(), size.height(), bands, VIPS_FORMAT_UCHAR);
            return Picture::fromPixels(bitmap.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)), fullSize);
        } catch (const vips::VError&) {
            vips_error_clear();
            return nullptr;
        }
    }

    std::shared_ptr<const Picture> animated(const RgbaFrames& frames, QSize fullSize) const override {
        std::vector<std::shared_ptr<const Picture>> pictures;
        try {
            for (const std::uint8_t* frame : frames.frames)
                pictures.push_back(Picture::fromPixels(over(frame, frames.size, 4), fullSize, true));
        } catch (const vips::VError&) {
            vips_error_clear();
            return nullptr;
        }
        return Picture::animated(std::move(pictures), frames.delaysMs, frames.loop, frames.memory);
    }

    std::optional<RgbaFrames> frameOfPng(const QByteArray& png) const override { return cropling::frameOfPng(png); }

    std::optional<EncodedGif> encodeGif(const RgbaFrames& frames, const GifLimits& limits, Progress* progress,
                                        qint64 spentMs) const override {
        EmojiFrames images;
        images.memory = frames.memory;
        images.delaysMs = frames.delaysMs;
        images.loop = frames.loop;
        try {
            for (const std::uint8_t* frame : frames.frames)
                images.frames.push_back(over(frame, frames.size, 4));
        } catch (const vips::VError&) {
            vips_error_clear();
            return std::nullopt;
        }
        return encodeGifWithin(images, limits, progress, spentMs);
    }

    AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current) const override {
        return autoFrameHere(picture, current);
    }

    const VImage& emptyPixels() const override {
        static const VImage none;
        return none;
    }
};

} // namespace

} // namespace cropling

extern "C" __attribute__((visibility("default"))) const cropling::VipsLayer* cropling_vips_layer() {
    cropling::ensureVipsStarted();
    static const cropling::Layer layer;
    return &layer;
}
