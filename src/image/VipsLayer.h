#pragma once

// The part of this layer that needs libvips, built as a module of its own (libcropling-vips.so)
// and loaded on first use: decoding in this process, drawing, the renders of pictures held here,
// GIF encoding and face framing. A headless render of a JPEG, PNG or WebP never loads it, so the
// program starts without libvips and its hundred libraries. Programs that link it in (the libvips
// helper, the tests) use it directly.

#include "core/CutoutMarks.h"
#include "core/ChatTarget.h"
#include "core/Resample.h"
#include "core/CropGeometry.h"
#include "core/OpenFailure.h"
#include "core/Progress.h"
#include "core/GifLimits.h"
#include "image/FaceFraming.h"

#include <QByteArray>
#include <QPointF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vips {
class VImage;
}

namespace cropling {

class Picture;

// Frames of one size, RGBA one after another, lying in memory they keep, with how long each shows
// and how often they play (0: for ever).
struct RgbaFrames {
    std::shared_ptr<void> memory;
    std::vector<const std::uint8_t*> frames;
    QSize size;
    std::vector<int> delaysMs;
    int loop = 0;
    int sourceFrames = 0; // the animation's, when only some of them were rendered (0: as many as here)
};

class VipsLayer {
public:
    // The layer, loaded and started on first use, from any thread; nothing (said once on stderr)
    // when it cannot be loaded.
    static const VipsLayer* get();
    // Where the module is: next to the program, in its lib folder, or in the build tree.
    static QByteArray modulePath();

    virtual ~VipsLayer() = default;
    // A picture of a decoded bitmap, upright 8-bit sRGB with 3 or 4 bands: `pixels` (from malloc)
    // is taken. A reduction of a picture of `fullSize`.
    virtual std::shared_ptr<const Picture> fromPixels(void* pixels, QSize size, int bands, QSize fullSize) const = 0;
    // An animation of the frames, drawn from where they lie.
    virtual std::shared_ptr<const Picture> animated(const RgbaFrames& frames, QSize fullSize) const = 0;
    // A rendered PNG as one frame.
    virtual std::optional<RgbaFrames> frameOfPng(const QByteArray& png) const = 0;
    // The best-looking GIF of the frames within the limits (see GifEncoder.h); nothing when none
    // fits or the progress was cancelled. Rendering the frames counts towards the search's work.
    virtual std::optional<EncodedGif> encodeGif(const RgbaFrames& frames, const GifLimits& limits, Progress* progress) const = 0;
    virtual AutoFramingOutcome autoFrame(const Picture& picture, const Framing& current) const = 0;
    virtual std::optional<AutoFraming> busiestFraming(const SearchCopy& copy, QSize full, const Framing& current) const = 0;
    // The pixels of a picture that holds none.
    virtual const vips::VImage& emptyPixels() const = 0;
    // A caption as RGBA pixels over an n x n square, transparent around the text: bold white
    // letters with a dark outline, as large as fits across the square in at most two lines, at
    // its top or bottom. Nothing for an empty caption or one that cannot be drawn.
    virtual std::optional<PixelRows> captionOverlay(const QString& text, int n, bool top) const = 0;
    // The picture with its plain background transparent; nothing when it has none (Cutout.h).
    virtual std::shared_ptr<const Picture> withoutBackground(const Picture& picture) const = 0;
    // The picture cut out anew with marks of what to keep and remove (Cutout.h).
    virtual std::shared_ptr<const Picture> refinedCutout(const Picture& picture, const Picture& shown, const std::vector<CutoutMark>& marks,
                                                         QString* why) const = 0;
};

} // namespace cropling
