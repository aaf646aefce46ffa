#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

#include <vips/vips8>

namespace cropling {

// Resamples a window of an 8-bit RGB or RGBA picture to exactly outWidth x outHeight. The window
// may have fractional edges; each axis is scaled on its own so that the window's edges land on the
// output's outer edges (output pixel i samples at window start + (i + 0.5) x scale). Lanczos-3 in
// both directions, its support widened by the reduction factor, the pixels the window touches
// extended at their edges as a cut-out would be, computed in float on premultiplied alpha so that
// transparent grounds leave no fringe. Only those pixels are computed, so a lazily decoded picture
// decodes just them. The result has the input's bands and is 8-bit.
vips::VImage resampleWindow(const vips::VImage& picture, const QRectF& window, int outWidth, int outHeight);

// The threads a resample runs on at most, the calling one included: the cores, or CROPLING_THREADS
// when the environment sets it (a helper in a batch that runs one render per core gets 1).
int resamplerThreads();

// The pixels of a picture of the given size that a window touches: all that resampleWindow reads.
QRect windowPixels(const QRectF& window, QSize pictureSize);

// The whole picture.
inline vips::VImage resampleTo(const vips::VImage& picture, int outWidth, int outHeight) {
    return resampleWindow(picture, QRectF(0, 0, picture.width(), picture.height()), outWidth, outHeight);
}

} // namespace cropling
