// The libvips part of the layer as the program loads it: one object behind the module's one
// entry point, which starts libvips before it hands the object out.

#include "image/Cutout.h"
#include "image/FaceFraming.h"
#include "gif/GifEncoder.h"
#include "image/Picture.h"
#include "image/VipsLayer.h"
#include "image/shared/VipsRender.h"
#include "image/shared/VipsRuntime.h"

#include <vips/vips8>

#include <algorithm>
#include <cstring>

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

    std::optional<EncodedGif> encodeGif(const RgbaFrames& frames, const GifLimits& limits, Progress* progress) const override {
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
        const long long rendered = (long long)frames.size.width() * frames.size.height() * (long long)frames.frames.size();
        return encodeGifWithin(images, limits, progress, rendered);
    }

    AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current) const override {
        return autoFrameHere(picture, current);
    }

    std::optional<AutoFraming> busiestFraming(const SearchCopy& copy, QSize full, const Framing& current) const override {
        return busiestFramingHere(copy, full, current);
    }

    std::optional<PixelRows> captionOverlay(const QString& text, int n, bool top) const override {
        const QString shown = text.simplified();
        if (shown.isEmpty() || n < 16)
            return std::nullopt;
        try {
            // Pango's markup: the caption's own text escaped, set bold and fitted into the
            // caption's box (two lines at most, a quarter of the square high).
            const int margin = std::max(2, n / 32);
            const QByteArray markup = "<b>" + shown.toHtmlEscaped().toUtf8() + "</b>";
            VImage mask = VImage::text(markup.constData(), VImage::option()
                                                               ->set("font", "DejaVu Sans Bold")
                                                               ->set("width", n - 4 * margin)
                                                               ->set("height", n / 4)
                                                               ->set("align", VIPS_ALIGN_CENTRE)
                                                               ->set("wrap", VIPS_TEXT_WRAP_WORD_CHAR));
            if (mask.width() > n - 2 * margin || mask.height() > n / 3)
                mask = mask.resize(std::min(double(n - 2 * margin) / mask.width(), double(n / 3) / mask.height()));
            // The outline: the letters grown by a pixel or two each way.
            const int grow = std::max(1, n / 160);
            const VImage outline = mask.rank(2 * grow + 1, 2 * grow + 1, (2 * grow + 1) * (2 * grow + 1) - 1);
            const int x = (n - mask.width()) / 2;
            const int y = top ? margin + grow : n - margin - grow - mask.height();
            const auto placed = [&](const VImage& m) {
                return m.embed(x, y, n, n, VImage::option()->set("extend", VIPS_EXTEND_BLACK));
            };
            const VImage letters = placed(mask), edge = placed(outline);
            // White where the letters are, near-black in the outline around them.
            const VImage light = letters.cast(VIPS_FORMAT_FLOAT) / 255.0;
            const VImage grey = (light * 255 + (1 - light) * 20).cast(VIPS_FORMAT_UCHAR);
            const VImage alpha = (edge > letters).ifthenelse(edge, letters);
            const VImage rgba = VImage::bandjoin({grey, grey, grey, alpha}).copy_memory();
            PixelRows rows{n, n, 4, std::vector<std::uint8_t>(size_t(n) * size_t(n) * 4)};
            std::memcpy(rows.bytes.data(), vips_image_get_data(rgba.get_image()), rows.bytes.size());
            return rows;
        } catch (const vips::VError&) {
            vips_error_clear();
            return std::nullopt;
        }
    }

    std::shared_ptr<const Picture> withoutBackground(const Picture& picture) const override {
        return cropling::withoutBackground(picture);
    }

    std::shared_ptr<const Picture> refinedCutout(const Picture& picture, const Picture& shown, const std::vector<CutoutMark>& marks,
                                                 QString* why) const override {
        return cropling::refinedCutout(picture, shown, marks, why);
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
