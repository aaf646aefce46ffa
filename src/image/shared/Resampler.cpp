#include "Resampler.h"

namespace cropling {

using vips::VImage;

namespace {

// Whether the picture's pixels lie in memory already, so they can be read where they are.
bool heldInMemory(const VImage& picture) {
    const VipsImageType kind = picture.get_image()->dtype;
    return kind == VIPS_IMAGE_SETBUF || kind == VIPS_IMAGE_SETBUF_FOREIGN;
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

VImage imageOf(const PixelRows& rows) {
    VipsImage* made =
        vips_image_new_from_memory_copy(rows.bytes.data(), rows.bytes.size(), rows.width, rows.height, rows.bands, VIPS_FORMAT_UCHAR);
    if (!made)
        throw vips::VError();
    // A new image of our own: its header says what its bytes are.
    made->Type = rows.bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB;
    return VImage(made);
}

} // namespace cropling
