#include "Picture.h"

#include "image/DisplayPyramid.h"
#include "image/VipsRuntime.h"

#include <QBuffer>

#include <vips/vips8>

namespace cropling {

using vips::VImage;

struct Picture::Private {
    explicit Private(VImage upright) : pixels(std::move(upright)), display(pixels) {}
    VImage pixels;
    DisplayPyramid display;
};

namespace {

// Any interpretation the loaders produce (grey, 16-bit, CMYK, Lab, palette) ends as 8-bit RGB or
// RGBA in sRGB. An embedded profile is honoured; a broken one is ignored rather than failing.
VImage toUprightSrgb8(VImage img, bool useProfile) {
    img = img.autorot();
    if (useProfile && img.get_typeof(VIPS_META_ICC_NAME) != 0)
        img = img.icc_transform("srgb", VImage::option()->set("embedded", true)->set("depth", 8));
    if (img.interpretation() != VIPS_INTERPRETATION_sRGB || img.format() != VIPS_FORMAT_UCHAR)
        img = img.colourspace(VIPS_INTERPRETATION_sRGB);
    if (img.format() != VIPS_FORMAT_UCHAR)
        img = img.cast(VIPS_FORMAT_UCHAR);

    const bool alpha = img.has_alpha();
    if (img.bands() < 3) {
        const VImage grey = img.extract_band(0);
        VImage rgb = grey.bandjoin(grey).bandjoin(grey);
        img = alpha ? rgb.bandjoin(img.extract_band(1)) : rgb;
    } else if (img.bands() > 4 || (img.bands() == 4 && !alpha)) {
        img = img.extract_band(0, VImage::option()->set("n", alpha ? 4 : 3));
    }
    return img.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory();
}

} // namespace

Picture::Picture(std::unique_ptr<Private> d) : d_(std::move(d)) {}

Picture::~Picture() = default;

int Picture::pixelWidth() const { return d_->pixels.width(); }

int Picture::pixelHeight() const { return d_->pixels.height(); }

const VImage& Picture::pixels() const { return d_->pixels; }

const QImage& Picture::displayLevel(double devicePixelsPerPixel) const {
    return d_->display.levelFor(devicePixelsPerPixel);
}

std::shared_ptr<const Picture> Picture::fromPixels(const VImage& pixels) {
    return std::shared_ptr<const Picture>(new Picture(std::make_unique<Private>(pixels)));
}

std::shared_ptr<const Picture> Picture::decode(const QByteArray& encoded) {
    ensureVipsStarted();
    if (encoded.isEmpty())
        return nullptr;
    VImage header;
    try {
        // Only the header is read here, so the pixel limit is checked before anything is allocated.
        header = VImage::new_from_buffer(encoded.constData(), size_t(encoded.size()), "");
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
    if (header.width() < 1 || header.height() < 1 || (long long)header.width() * header.height() > kMaxDecodedPixels)
        return nullptr;
    // A second attempt without the embedded profile only when there is one that may be at fault.
    const bool hasProfile = header.get_typeof(VIPS_META_ICC_NAME) != 0;
    for (const bool useProfile : {true, false}) {
        if (!useProfile && !hasProfile)
            break;
        try {
            return fromPixels(toUprightSrgb8(header, useProfile));
        } catch (const vips::VError&) {
            vips_error_clear();
        }
    }
    return nullptr;
}

std::shared_ptr<const Picture> Picture::fromImage(const QImage& image) {
    if (image.isNull())
        return nullptr;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return nullptr;
    return decode(png);
}

} // namespace cropling
