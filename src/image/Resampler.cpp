#include "Resampler.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace cropling {

using vips::VImage;

namespace {

double lanczos3(double x) {
    x = std::abs(x);
    if (x >= 3)
        return 0;
    if (x < 1e-12)
        return 1;
    const double px = M_PI * x;
    return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// Enlarges one axis of a float image with a centred Lanczos-3. libvips' own enlargement goes
// through an affine transform that is bicubic and shifts the picture by part of a pixel, which
// shows on an 85-pixel crop blown up to 128. Only small crops are enlarged, so this stays cheap.
VImage enlargeAxis(const VImage& in, int outLength, bool horizontal) {
    const VImage source = in.cast(VIPS_FORMAT_FLOAT).copy_memory();
    const int w = source.width(), h = source.height(), bands = source.bands();
    const float* src = static_cast<const float*>(source.data());
    const int inLength = horizontal ? w : h;
    const int lines = horizontal ? h : w;
    const int outW = horizontal ? outLength : w;
    const int outH = horizontal ? h : outLength;

    // Offsets in the float buffers: (line, position) along the resampled axis, then the band.
    const auto at = [horizontal, bands](int line, int position, int width, int band) {
        const size_t pixel = horizontal ? size_t(line) * size_t(width) + size_t(position)
                                        : size_t(position) * size_t(width) + size_t(line);
        return pixel * size_t(bands) + size_t(band);
    };
    const size_t outSize = size_t(outW) * size_t(outH) * size_t(bands) * sizeof(float);
    auto* dst = static_cast<float*>(g_malloc(outSize));
    const double ratio = double(inLength) / outLength;
    for (int o = 0; o < outLength; ++o) {
        const double centre = (o + 0.5) * ratio - 0.5;
        const int first = int(std::floor(centre)) - 2;
        double weights[6];
        double total = 0;
        for (int t = 0; t < 6; ++t)
            total += weights[t] = lanczos3(first + t - centre);
        for (int line = 0; line < lines; ++line)
            for (int b = 0; b < bands; ++b) {
                double acc = 0;
                for (int t = 0; t < 6; ++t)
                    acc += weights[t] * src[at(line, std::clamp(first + t, 0, inLength - 1), w, b)];
                dst[at(line, o, outW, b)] = float(acc / total);
            }
    }
    return VImage::new_from_memory_steal(dst, outSize, outW, outH, bands, VIPS_FORMAT_FLOAT);
}

// libvips rounds the reduced size; a pixel too many or too few is trimmed or repeated at the edge.
VImage exactSize(const VImage& in, int width, int height) {
    if (in.width() == width && in.height() == height)
        return in;
    return in.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
}

} // namespace

VImage resampleTo(const VImage& picture, int outWidth, int outHeight) {
    const bool alpha = picture.bands() == 4;
    VImage work = alpha ? picture.premultiply() : picture.cast(VIPS_FORMAT_FLOAT);

    // Reductions first, on the large picture, by libvips' Lanczos-3 whose support widens with the
    // reduction factor; then any enlargement on what is left.
    const bool reduceX = outWidth < work.width();
    const bool reduceY = outHeight < work.height();
    if (reduceX)
        work = work.reduceh(double(work.width()) / outWidth, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (reduceY)
        work = work.reducev(double(work.height()) / outHeight, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
    work = exactSize(work, reduceX ? outWidth : work.width(), reduceY ? outHeight : work.height());
    if (outWidth > work.width())
        work = enlargeAxis(work, outWidth, true);
    if (outHeight > work.height())
        work = enlargeAxis(work, outHeight, false);

    if (alpha)
        work = work.unpremultiply();
    return work.round(VIPS_OPERATION_ROUND_RINT)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

} // namespace cropling
