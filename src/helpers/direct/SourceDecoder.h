#pragma once

// A picture decoded by its format's own library, without libvips: JPEG with libjpeg-turbo, PNG with
// libspng, WebP with libwebp. Each decodes just the part a render shows, at just the resolution it
// needs, and stops once it has it. What one of them leaves to libvips (CMYK, interlacing, an
// animation, a profile that is not RGB) it declines from the header, before a pixel is decoded.

#include "core/OpenFailure.h"
#include "core/Resample.h"

#include <QByteArray>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <memory>
#include <optional>

namespace cropling::direct {

// What the header says.
struct SourceFacts {
    QSize stored;          // as the file stores it
    int orientation = 1;   // the EXIF tag
    QByteArray iccProfile; // an embedded RGB profile, or nothing for sRGB
    bool alpha = false;
    // Whether a reduced decode costs a fraction of a whole one (a JPEG's DCT scaling), as a first
    // look needs.
    bool reducesWhileDecoding = false;
};

// The pixels a render reads: those the window touches in the reduced picture (RGB or RGBA), where
// they lie in it, and the window in its coordinates.
struct DecodedPart {
    PixelRows pixels;
    QPoint at;
    QRectF window;
};

// Why a decoder gives nothing: a reason the program reports, or the picture left to libvips.
struct Refusal {
    std::optional<OpenFailure> failure; // nothing: not a picture this decoder takes on
};

class SourceDecoder {
public:
    virtual ~SourceDecoder() = default;
    const SourceFacts& facts() const { return facts_; }
    // The part of the stored picture that `stored` covers, reduced so that the whole picture keeps
    // at least `shorterSide` pixels on its shorter side. The rows after the part are not decoded.
    virtual std::optional<DecodedPart> decodePart(const QRect& stored, int shorterSide, Refusal* why) = 0;

protected:
    SourceFacts facts_;
};

// The decoder for these bytes, its header read; nothing, and why, when there is none.
std::unique_ptr<SourceDecoder> openSource(const QByteArray& encoded, Refusal* why);

// A decoder of type D over the bytes, once it has read their header.
template <typename D>
std::unique_ptr<SourceDecoder> withHeaderRead(const QByteArray& encoded, Refusal* why) {
    auto decoder = std::make_unique<D>(encoded);
    if (!decoder->readHeader(why))
        return nullptr;
    return decoder;
}

std::unique_ptr<SourceDecoder> openJpeg(const QByteArray& encoded, Refusal* why);
std::unique_ptr<SourceDecoder> openPng(const QByteArray& encoded, Refusal* why);
std::unique_ptr<SourceDecoder> openWebp(const QByteArray& encoded, Refusal* why);

} // namespace cropling::direct
