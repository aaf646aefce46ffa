#pragma once

// The emoji's resampling filter on plain 8-bit pixels, shared by every decoder: Lanczos-3 in both
// directions, its support widened by the reduction factor, computed in float on premultiplied
// alpha so that transparent grounds leave no fringe.

#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <vector>

namespace cropling {

// 8-bit pixels someone else holds, RGB (3 bands) or RGBA (4 bands, not premultiplied): a picture
// or a part of a larger one.
struct PixelView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int bands = 0;
    size_t rowBytes = 0; // from one row to the next; 0: width x bands, rows one after another
    const std::uint8_t* row(int y) const {
        return data + size_t(y) * (rowBytes ? rowBytes : size_t(width) * size_t(bands));
    }
};

// Such pixels, owned.
struct PixelRows {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<std::uint8_t> bytes;
    std::uint8_t* row(int y) { return bytes.data() + size_t(y) * size_t(width) * size_t(bands); }
    const std::uint8_t* row(int y) const { return view().row(y); }
    PixelView view() const { return {bytes.data(), width, height, bands}; }
};

// A rectangle of a picture of size `full`, in the pixels of a reduction of it to `reduced`: where
// its window lies in a picture decoded smaller.
QRectF scaledRect(const QRect& rect, QSize full, QSize reduced);

// The pixels of a picture of the given size that a window touches: all that resampleWindow reads.
QRect windowPixels(const QRectF& window, QSize pictureSize);

// Resamples a window of a picture to exactly outWidth x outHeight. `pixels` holds just the pixels
// the window touches (windowPixels of the picture it lies in, placed at `at`), and the window is in
// the picture's coordinates. Each axis is scaled on its own so that the window's edges land on the
// output's outer edges (output pixel i samples at window start + (i + 0.5) x scale); the filter's
// taps beyond the pixels repeat their edge, as at the edge of a cut-out picture.
PixelRows resampleWindow(const PixelView& pixels, QPoint at, const QRectF& window, int outWidth, int outHeight);

// The resampled picture (RGB or RGBA) in its place on an n x n RGBA canvas, transparent around it;
// an opaque picture is opaque there.
PixelRows placedOnCanvas(const PixelRows& picture, const QRect& place, int n);

// The threads a resample runs on at most, the calling one included: the cores, or CROPLING_THREADS
// when the environment sets it (a helper in a batch that runs one render per core gets 1). All
// resamples of a process share one pool of them.
int resamplerThreads();

} // namespace cropling
