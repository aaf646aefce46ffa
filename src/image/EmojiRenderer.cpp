#include "EmojiRenderer.h"

#include "core/CropGeometry.h"
#include "image/Picture.h"
#include "image/Resampler.h"
#include "image/VipsBytes.h"

#include <vips/vips8>

namespace cropling {

using vips::VImage;

std::optional<QByteArray> renderEmojiPNG(const Picture* picture, double zoom, QPointF offset, int outputSize) {
    if (!picture || outputSize < 1 || outputSize > kMaxOutputSize)
        return std::nullopt;
    const auto source = emojiSourcePixels(picture->pixelWidth(), picture->pixelHeight(), zoom, offset);
    if (!source)
        return std::nullopt;
    try {
        VImage cut = picture->pixels().crop(source->x(), source->y(), source->width(), source->height());
        VImage canvas = resampleTo(cut, outputSize, outputSize);
        // The PNG always carries alpha; an opaque source is opaque everywhere.
        if (canvas.bands() == 3)
            canvas = canvas.bandjoin_const({255});
        canvas = canvas.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        return VipsBytes::encode(canvas, ".png", VImage::option()->set("strip", true)->set("compression", 9))
            .toByteArray();
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace cropling
