#include "DisplayPyramid.h"

#include "image/shared/VipsBytes.h"

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

QImage toQImage(const vips::VImage& rgb8) {
    VipsBytes pixels = VipsBytes::pixelsOf(rgb8);
    const bool alpha = rgb8.bands() == 4;
    // The QImage owns the memory from here on and frees it with the buffer's own g_free.
    void* data = pixels.release();
    QImage wrapped(static_cast<const uchar*>(data), rgb8.width(), rgb8.height(), rgb8.width() * rgb8.bands(),
                   alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888, g_free, data);
    // Premultiplied ARGB32 is what the raster painter draws from fastest.
    return wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The picture's own pixels as an image, without a copy.
QImage sharing(const vips::VImage& rgb8) {
    return QImage(static_cast<const uchar*>(vips_image_get_data(rgb8.get_image())), rgb8.width(), rgb8.height(),
                  rgb8.width() * rgb8.bands(), rgb8.bands() == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
}

} // namespace

DisplayPyramid::DisplayPyramid(const vips::VImage& picture, bool shareTop) : fullWidth_(picture.width()) {
    const int shorter = std::min(picture.width(), picture.height());
    // A very long picture draws its top level from its own pixels too: a premultiplied copy of it
    // would hold a second picture's worth of memory for the highest zooms alone.
    shareTop = shareTop || (long long)picture.width() * picture.height() * 4 > kLargestCopy;
    levels_.push_back(shareTop && shorter <= kTopShorterSide ? sharing(picture) : toQImage(picture));
    if (shorter > kTopShorterSide) {
        // The picture is already near the working resolution, so an area average on premultiplied
        // pixels is all the top level needs.
        const double f = double(kTopShorterSide) / shorter;
        const int w = std::max(1, int(std::lround(picture.width() * f)));
        const int h = std::max(1, int(std::lround(picture.height() * f)));
        levels_.front() = levels_.front().scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Below a shared top, the first halving streams from the picture's pixels: converting the
    // whole top to premultiplied first would hold a copy of it for a moment. A small frame (of a
    // clip, say) is halved by the loop below from such a copy, several times faster.
    const bool small = (long long)picture.width() * picture.height() <= kSmallFramePixels;
    if (levels_.front().format() != QImage::Format_ARGB32_Premultiplied && shorter >= 64 && shorter <= kTopShorterSide &&
        !small) {
        const bool alpha = picture.bands() == 4;
        vips::VImage half = (alpha ? picture.premultiply() : picture.cast(VIPS_FORMAT_FLOAT)).shrink(2, 2);
        if (alpha)
            half = half.unpremultiply();
        levels_.push_back(toQImage(half.round(VIPS_OPERATION_ROUND_RINT).cast(VIPS_FORMAT_UCHAR).copy_memory()));
    }
    // Exact halvings: a 2x2 average on premultiplied pixels is the right filter for these.
    while (std::min(levels_.back().width(), levels_.back().height()) >= 32) {
        // A shared top level has straight alpha: the halvings below it are premultiplied.
        const QImage last = levels_.back().format() == QImage::Format_ARGB32_Premultiplied
                                ? levels_.back()
                                : levels_.back().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        levels_.push_back(last.scaled(std::max(1, last.width() / 2), std::max(1, last.height() / 2),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
}

const QImage& DisplayPyramid::levelFor(double devicePixelsPerPixel) const {
    for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
        if (double(it->width()) / fullWidth_ >= devicePixelsPerPixel)
            return *it;
    }
    return levels_.front();
}

} // namespace cropling
