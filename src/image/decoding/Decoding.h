#pragma once

// The steps every decode shares: the header with its limits, a streaming reduced decode, the
// conversion to 8-bit sRGB and the geometry of EXIF orientation. Used inside this layer only.

#include "core/OpenFailure.h"

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <vips/vips8>

#include <optional>
#include <string>

namespace cropling::decoding {

struct Header {
    QByteArray encoded; // the file as the decoder gets it, after the preflight checks
    vips::VImage image; // header only: no pixels decoded yet
    QSize stored;       // as the file stores it
    QSize upright;      // as it is shown, after the orientation tag
    int orientation = 1;
    bool hasProfile = false;
    std::string loader; // the libvips loader that reads it, e.g. VipsForeignLoadJpegBuffer
    int pages = 1;      // frames of an animation, pages of a document
};

// Nothing for bytes no allowed loader reads, a file the preflight refuses, a picture above the
// pixel limit, or one whose loader would need more memory than the budget to decode it.
// Bytes that came out of a header read before need no second preflight. Says why when asked.
std::optional<Header> readHeader(const QByteArray& encoded, bool preflighted = false, OpenFailure* why = nullptr);

// Notes why a computation threw, before its error is cleared; failureAfter() reads the note.
void noteFailure(const vips::VError& error);
// Why a computation that threw gave nothing: the deadline, when it had run that long; memory, when
// the last noted error was an allocation refused (the helper's address limit); otherwise damage.
OpenFailure failureAfter(qint64 elapsedMilliseconds);

// Decodes as few pixels as a use allows, streaming: the format's own reduced decode where it has
// one (JPEG's DCT scaling, WebP's scaled decode), then a box average on the stream, never below
// minShorterSide on the shorter side (0: full resolution). Stored orientation; nothing is written
// to a temporary file.
// `toSide`: also what is left above the need, by any factor, for a working picture kept whole.
vips::VImage loadReduced(const Header& header, int minShorterSide, bool toSide = false);

// The memory a loader that decodes the whole picture at once (GIF, HEIF, JPEG XL) may need; such a
// picture above it is refused from its header.
inline constexpr long long kWholeDecodeBudget = 512LL << 20;
// A drawing is drawn at the scale its use needs, but never to more pixels than this: a thin
// drawing at a window's working size would otherwise be drawn as hundreds of megapixels.
inline constexpr long long kMaxDrawnPixels = 16LL << 20;
// How long the computation of one picture may run before it gives up.
inline constexpr double kDecodeSeconds = 10.0;

// The image, set to give up with an error once its computation has run kDecodeSeconds from now:
// no file holds the window or a scripted run for longer. Compute (copy_memory) the returned image.
vips::VImage withDeadline(const vips::VImage& image);

// The scale a drawing is drawn at for a use that needs minShorterSide, within kMaxDrawnPixels.
double svgScale(const Header& header, int minShorterSide);

// Whether the format can decode straight at a reduced scale that still has minShorterSide, well
// below full resolution: then a first look costs a fraction of a full decode.
bool hasCheapReduction(const Header& header, int minShorterSide);

// Any interpretation the loaders produce (grey, 16-bit, CMYK, Lab, palette) as 8-bit RGB or RGBA
// in sRGB. An embedded profile is honoured when asked; the caller retries without a broken one.
vips::VImage toSrgb8(vips::VImage img, bool useProfile);

// Turns a picture in stored orientation upright, as its orientation tag says.
vips::VImage turnUpright(const vips::VImage& stored, int orientation);

// The part of a streamed picture, computed in memory: the rows are read from the top down in
// strips, those above the part only passed over, so a part far down a very tall picture costs
// the rows above it once. Throws like a computation does, also when kDecodeSeconds pass.
vips::VImage cropInOrder(const vips::VImage& image, const QRect& part);

} // namespace cropling::decoding
