#include "Resampler.h"

namespace cropling {

using vips::VImage;

namespace {

// Whether the picture's pixels lie in memory already, so they can be read where they are.
bool heldInMemory(const VImage& picture) {
    const VipsImageType kind = picture.get_image()->dtype;
    return kind == VIPS_IMAGE_SETBUF || kind == VIPS_IMAGE_SETBUF_FOREIGN;
}

// The filter's result as an image of its own, made without a computation.
VImage imageOf(const PixelRows& square) {
    VipsImage* made = vips_image_new_from_memory_copy(square.bytes.data(), square.bytes.size(), square.width,
                                                      square.height, square.bands, VIPS_FORMAT_UCHAR);
    if (!made)
        throw vips::VError();
    made->Type = VIPS_INTERPRETATION_sRGB;
    return VImage(made);
}

} // namespace

VImage resampleWindow(const VImage& picture, const QRectF& window, int outWidth, int outHeight) {
    // A picture in memory (an animation's frame) is read in place; a lazy one computes just the
    // part the window touches. Each computation starts libvips' threads anew, which for the
    // frames of a long animation costs more than the filter.
    const QRect part = windowPixels(window, QSize(picture.width(), picture.height()));
    if (heldInMemory(picture)) {
        const size_t pixelBytes = size_t(picture.bands());
        const size_t rowBytes = size_t(picture.width()) * pixelBytes;
        const auto* first = static_cast<const std::uint8_t*>(picture.data()) + size_t(part.y()) * rowBytes +
                            size_t(part.x()) * pixelBytes;
        const PixelView pixels{first, part.width(), part.height(), picture.bands(), rowBytes};
        return imageOf(resampleWindow(pixels, part.topLeft(), window, outWidth, outHeight));
    }
    const VImage source = picture.crop(part.x(), part.y(), part.width(), part.height()).copy_memory();
    const PixelView pixels{static_cast<const std::uint8_t*>(source.data()), part.width(), part.height(), picture.bands()};
    return imageOf(resampleWindow(pixels, part.topLeft(), window, outWidth, outHeight));
}

} // namespace cropling
