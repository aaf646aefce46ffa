#include "Resampler.h"

namespace cropling {

using vips::VImage;

VImage resampleWindow(const VImage& picture, const QRectF& window, int outWidth, int outHeight) {
    const QRect part = windowPixels(window, QSize(picture.width(), picture.height()));
    const VImage source = picture.crop(part.x(), part.y(), part.width(), part.height()).copy_memory();
    const PixelView pixels{static_cast<const std::uint8_t*>(source.data()), part.width(), part.height(), picture.bands()};
    const PixelRows square = resampleWindow(pixels, part.topLeft(), window, outWidth, outHeight);
    return VImage::new_from_memory(const_cast<std::uint8_t*>(square.bytes.data()), square.bytes.size(), outWidth,
                                   outHeight, square.bands, VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

} // namespace cropling
