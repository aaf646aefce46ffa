#include "DirectRender.h"

#include "core/CropGeometry.h"
#include "core/Orientation.h"
#include "direct/ColourProfile.h"
#include "direct/PngWriter.h"

#include <cstring>

namespace cropling::direct {

namespace {

// The resampled picture in its place on the n x n canvas; an opaque picture is opaque there.
PixelRows onCanvas(const PixelRows& picture, const QRect& place, int n) {
    PixelRows canvas{n, n, 4, std::vector<std::uint8_t>(size_t(n) * size_t(n) * 4)};
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.row(y);
        std::uint8_t* out = canvas.row(place.y() + y) + size_t(place.x()) * 4;
        for (int x = 0; x < picture.width; ++x, in += picture.bands, out += 4) {
            std::memcpy(out, in, 3);
            out[3] = picture.bands == 4 ? in[3] : 255;
        }
    }
    return canvas;
}

} // namespace

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
    auto png = writePng(onCanvas(turnedUpright(resampled, orientation), square->canvas, n));
    if (!png)
        *failure = OpenFailure::TooLarge;
    return png;
}

} // namespace cropling::direct
