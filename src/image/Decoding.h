#pragma once

// The steps every decode shares: the header with its limits, a streaming reduced decode, the
// conversion to 8-bit sRGB and the geometry of EXIF orientation. Used inside this layer only.

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <vips/vips8>

#include <optional>

namespace cropling::decoding {

struct Header {
    vips::VImage image; // header only: no pixels decoded yet
    QSize stored;       // as the file stores it
    QSize upright;      // as it is shown, after the orientation tag
    int orientation = 1;
    bool hasProfile = false;
};

// Nothing for bytes no allowed loader reads, or a picture above the pixel limit.
std::optional<Header> readHeader(const QByteArray& encoded);

// Decodes as few pixels as a use allows, streaming: the format's own reduced decode where it has
// one (JPEG's DCT scaling, WebP's scaled decode), then a box average on the stream, never below
// minShorterSide on the shorter side (0: full resolution). Stored orientation; nothing is written
// to a temporary file.
vips::VImage loadReduced(const QByteArray& encoded, const Header& header, int minShorterSide);

// Whether the format can decode straight at a reduced scale that still has minShorterSide, well
// below full resolution: then a first look costs a fraction of a full decode.
bool hasCheapReduction(const QByteArray& encoded, const Header& header, int minShorterSide);

// Any interpretation the loaders produce (grey, 16-bit, CMYK, Lab, palette) as 8-bit RGB or RGBA
// in sRGB. An embedded profile is honoured when asked; the caller retries without a broken one.
vips::VImage toSrgb8(vips::VImage img, bool useProfile);

// Turns a picture in stored orientation upright, as its orientation tag says.
vips::VImage turnUpright(const vips::VImage& stored, int orientation);

// The rectangle of the stored picture that shows as the given rectangle of the upright one.
QRect storedRect(const Header& header, const QRect& upright);

} // namespace cropling::decoding
