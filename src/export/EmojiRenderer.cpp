#include "EmojiRenderer.h"

#include "export/Resampler.h"
#include "intake/Picture.h"

#include <algorithm>
#include <cmath>

namespace cropling {

using vips::VImage;

namespace {

// The crop formulas leave floating-point dust on edges that are whole pixels in exact arithmetic
// (500.00000000000006 for a 4000 x 3000 photo). Without this, the outward expansion would take
// one more column than the square shows.
double snapped(double v) {
    const double nearest = std::round(v);
    return std::abs(v - nearest) < 1e-7 ? nearest : v;
}

} // namespace

std::optional<PixelRect> emojiSourcePixels(int width, int height, double zoom, SizeD offset) {
    if (width < 1 || height < 1 || !(zoom > 0) || !std::isfinite(zoom))
        return std::nullopt;
    const RectD crop = CropFrame(width, height, zoom).cropRect(offset);

    const double left = std::max(crop.x, 0.0);
    const double top = std::max(crop.y, 0.0);
    const double right = std::min(crop.right(), double(width));
    const double bottom = std::min(crop.bottom(), double(height));
    // Written as "not greater than 1" so that not-a-number offsets are refused too.
    if (!(right - left > 1) || !(bottom - top > 1))
        return std::nullopt;

    const int x0 = int(std::floor(snapped(left)));
    const int y0 = int(std::floor(snapped(top)));
    const int x1 = std::min(width, int(std::ceil(snapped(right))));
    const int y1 = std::min(height, int(std::ceil(snapped(bottom))));
    return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

std::optional<QByteArray> renderEmojiPNG(const Picture* picture, double zoom, SizeD offset, int outputSize) {
    if (!picture || outputSize < 1 || outputSize > kMaxOutputSize)
        return std::nullopt;
    const auto source = emojiSourcePixels(picture->pixelWidth(), picture->pixelHeight(), zoom, offset);
    if (!source)
        return std::nullopt;
    try {
        VImage cut = picture->pixels().crop(source->x, source->y, source->width, source->height);
        VImage canvas = resampleTo(cut, outputSize, outputSize);
        // The PNG always carries alpha; an opaque source is opaque everywhere.
        if (canvas.bands() == 3)
            canvas = canvas.bandjoin_const({255});
        canvas = canvas.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        VipsBlob* blob = canvas.pngsave_buffer(VImage::option()->set("strip", true)->set("compression", 9));
        size_t length = 0;
        const void* data = vips_blob_get(blob, &length);
        QByteArray png(static_cast<const char*>(data), qsizetype(length));
        vips_area_unref(VIPS_AREA(blob));
        return png;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace cropling
