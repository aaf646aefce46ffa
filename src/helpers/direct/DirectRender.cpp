#include "DirectRender.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "helpers/direct/ColourProfile.h"
#include "image/shared/PngWriter.h"

namespace cropling::direct {

std::optional<QByteArray> renderSquarePng(SourceDecoder& decoder, bool convertProfile, int orientation, double zoom,
                                          QPointF offset, int n, std::optional<OpenFailure>* failure) {
    failure->reset();
    const SourceFacts& facts = decoder.facts();
    const auto square = storedSquare(facts.stored, orientation, zoom, offset, n);
    if (n < 1 || n > kMaxOutputSize || !square)
        return std::nullopt;
    Refusal why;
    auto part = decoder.decodePart(square->stored, square->shorterSide, &why);
    if (!part) {
        *failure = why.failure.value_or(OpenFailure::Damaged);
        return std::nullopt;
    }
    if (convertProfile)
        convertToSrgb(facts.iccProfile, &part->pixels);
    const PixelRows resampled = resampleWindow(part->pixels.view(), part->at, part->window,
                                               square->storedCanvas.width(), square->storedCanvas.height());
    auto png = writePng(placedOnCanvas(turnedUpright(resampled, orientation), square->canvas, n));
    if (!png)
        *failure = OpenFailure::TooLarge;
    return png;
}

} // namespace cropling::direct
