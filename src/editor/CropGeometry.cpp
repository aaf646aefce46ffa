#include "CropGeometry.h"

namespace cropling {

namespace {

// Written as "not (L >= 0)" so that a limit that is not a number also becomes 0.
double nonNegativeOrZero(double limit) { return limit >= 0 ? limit : 0.0; }

// Lower bound first, then upper bound. A component that is not a number fails the first test and
// comes out as -limit; an infinite limit lets every finite value through.
double clampAxis(double value, double limit) {
    const double t = value >= -limit ? value : -limit;
    return limit > t ? t : limit;
}

} // namespace

SizeD CropFrame::limits() const {
    const double s = scale();
    return {nonNegativeOrZero((w_ * s - kCropSide) * 0.5), nonNegativeOrZero((h_ * s - kCropSide) * 0.5)};
}

SizeD CropFrame::clamp(SizeD proposed) const {
    if (!hasArea())
        return {0, 0};
    const SizeD l = limits();
    return {clampAxis(proposed.width, l.width), clampAxis(proposed.height, l.height)};
}

RectD CropFrame::cropRect(SizeD offset) const {
    const double s = scale();
    const double left = (kCropSide - s * w_) * 0.5 + offset.width;
    const double top = (kCropSide - s * h_) * 0.5 + offset.height;
    const double side = kCropSide / s;
    return {-left / s, -top / s, side, side};
}

RectD CropFrame::placement(SizeD offset, double side) const {
    const double k = side / kCropSide;
    const double s = scale();
    const double drawnW = w_ * k * s;
    const double drawnH = h_ * k * s;
    return {(side - drawnW) / 2 + offset.width * k, (side - drawnH) / 2 + offset.height * k, drawnW, drawnH};
}

SizeD clampedOffset(std::optional<SizeD> pictureSize, double zoom, SizeD proposed) {
    if (!pictureSize)
        return {0, 0};
    return CropFrame(pictureSize->width, pictureSize->height, zoom).clamp(proposed);
}

} // namespace cropling
