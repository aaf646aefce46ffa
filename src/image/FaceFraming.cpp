#include "FaceFraming.h"

#include "core/CropGeometry.h"
#include "image/Picture.h"
#include "image/shared/Resampler.h"
#include "image/shared/VipsRuntime.h"

#include <QCoreApplication>

#include <vips/vips8>

#include <algorithm>

namespace cropling {

using vips::VImage;

namespace {

// The translation context of the failure texts.
struct FaceText {
    Q_DECLARE_TR_FUNCTIONS(FaceFraming)
};

// How much there is to look at in what a framing shows of the searched copy: its mean edge
// strength. A plain sky or wall has little; faces, fur and text have much.
double interestOf(const VImage& edges, const Framing& framing) {
    const auto part = emojiSourcePixels(edges.width(), edges.height(), framing.zoom, framing.offset);
    return part ? edges.crop(part->x(), part->y(), part->width(), part->height()).avg() : 0.0;
}

// The busiest part must show this much more to replace the framing the user had.
constexpr double kClearGain = 1.25;

} // namespace

std::optional<AutoFraming> busiestFramingHere(const SearchCopy& copy, QSize full, const Framing& current) {
    ensureVipsStarted();
    try {
        const VImage colour = imageOf(copy.colour);
        int attentionX = 0, attentionY = 0;
        const int side = std::min(colour.width(), colour.height());
        (void)colour.smartcrop(side, side,
                               VImage::option()
                                   ->set("interesting", VIPS_INTERESTING_ATTENTION)
                                   ->set("attention_x", &attentionX)
                                   ->set("attention_y", &attentionY));
        AutoFraming framing;
        const double toFull = double(full.width()) / copy.grey.width;
        const double scale = CropFrame(QSizeF(full), 1.0).scale();
        framing.offset = QPointF((full.width() / 2.0 - attentionX * toFull) * scale,
                                 (full.height() / 2.0 - attentionY * toFull) * scale);
        // Centred on what draws the eye is not always better than what the user had (a cat's fur
        // draws it away from the cat's eyes): the busiest part must show clearly more.
        const VImage edges = imageOf(copy.grey).sobel();
        const double proposed = interestOf(edges, {framing.zoom, clampedOffset(QSizeF(full), framing.zoom, framing.offset)});
        if (proposed < kClearGain * interestOf(edges, current)) {
            framing.zoom = current.zoom;
            framing.offset = current.offset;
            framing.kept = true;
        }
        return framing;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

AutoFramingOutcome autoFrameHere(const Picture& picture, const Framing& current) {
    if (picture.isOpenedForRender() || picture.pixelWidth() < 1)
        return {std::nullopt, nothingToFrame()};
    ensureVipsStarted();
    const QSize full = picture.fullSize();
    std::optional<SearchCopy> copy;
    try {
        const VImage& pixels = picture.pixels();
        const double shrink = std::min(1.0, double(SearchCopy::kSide) / std::max(pixels.width(), pixels.height()));
        // A plain box-and-linear reduction: the search needs no finer filter.
        VImage colour = pixels.resize(shrink, VImage::option()->set("kernel", VIPS_KERNEL_LINEAR));
        if (colour.bands() < 3)
            colour = colour.colourspace(VIPS_INTERPRETATION_sRGB);
        colour = colour.cast(VIPS_FORMAT_UCHAR).copy_memory();
        const auto* data = static_cast<const std::uint8_t*>(colour.data());
        copy = searchCopyOf(PixelRows{colour.width(), colour.height(), colour.bands(),
                                      {data, data + size_t(colour.width()) * size_t(colour.height()) * size_t(colour.bands())}});
    } catch (const vips::VError&) {
        vips_error_clear();
        return {std::nullopt, FaceText::tr("the picture could not be searched")};
    }
    return framingOfFaces(*copy, full, [&] { return busiestFramingHere(*copy, full, current); });
}

} // namespace cropling
