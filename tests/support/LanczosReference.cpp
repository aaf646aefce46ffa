#include "LanczosReference.h"

#include <algorithm>
#include <cmath>

namespace cropling::test {

namespace {

double sinc(double x) {
    if (x == 0)
        return 1;
    const double px = M_PI * x;
    return std::sin(px) / px;
}

double kernel(double x) { return std::abs(x) < 3 ? sinc(x) * sinc(x / 3) : 0; }

// Resamples along one axis of length inLength to outLength for `lines` lines of 4 channels.
std::vector<double> pass(const std::vector<double>& in, int inLength, int outLength, int lines, bool alongX) {
    std::vector<double> out(size_t(outLength * lines * 4));
    const double ratio = double(inLength) / outLength;
    const double support = std::max(1.0, ratio);
    for (int o = 0; o < outLength; ++o) {
        const double centre = (o + 0.5) * ratio - 0.5;
        const int first = int(std::floor(centre - 3 * support));
        const int last = int(std::ceil(centre + 3 * support));
        std::vector<double> weights;
        double total = 0;
        for (int i = first; i <= last; ++i) {
            weights.push_back(kernel((i - centre) / support));
            total += weights.back();
        }
        for (int line = 0; line < lines; ++line) {
            double acc[4] = {0, 0, 0, 0};
            for (int i = first; i <= last; ++i) {
                const int src = std::clamp(i, 0, inLength - 1);
                const size_t index = size_t(alongX ? (line * inLength + src) * 4 : (src * lines + line) * 4);
                for (int c = 0; c < 4; ++c)
                    acc[c] += weights[size_t(i - first)] * in[index + size_t(c)];
            }
            const size_t outIndex = size_t(alongX ? (line * outLength + o) * 4 : (o * lines + line) * 4);
            for (int c = 0; c < 4; ++c)
                out[outIndex + size_t(c)] = acc[c] / total;
        }
    }
    return out;
}

} // namespace

Plane lanczos3(const Plane& in, int outWidth, int outHeight) {
    const std::vector<double> horizontal = pass(in.rgba, in.width, outWidth, in.height, true);
    Plane out;
    out.width = outWidth;
    out.height = outHeight;
    out.rgba = pass(horizontal, in.height, outHeight, outWidth, false);
    return out;
}

} // namespace cropling::test
