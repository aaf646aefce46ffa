#pragma once

// A plain, slow, double-precision separable Lanczos-3 resampler on premultiplied RGBA, written
// independently of the product's code, as the yardstick for the render's quality.

#include <vector>

namespace cropling::test {

struct Plane {
    int width = 0;
    int height = 0;
    std::vector<double> rgba; // premultiplied, 0..255, 4 per pixel
};

// Pixel centres map as (i + 0.5) x scale; the kernel widens by the reduction factor; edge pixels
// extend outward.
Plane lanczos3(const Plane& in, int outWidth, int outHeight);

} // namespace cropling::test
