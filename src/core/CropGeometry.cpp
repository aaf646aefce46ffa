#include "CropGeometry.h"

#include <algorithm>
#include <cmath>

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

// The crop formulas leave floating-point dust on edges that are whole pixels in exact arithmetic
// (500.00000000000006 for a 4000 x 3000 photo). Without this, the outward expansion would take
// one more column than the square shows.
double snapped(double v) {
    const double nearest = std::round(v);
    return std::abs(v - nearest) < 1e-7 ? nearest : v;
}

} // namespace

QPointF CropFrame::limits() const {
    const double s = scale();
    return {nonNegativeOrZero((w_ * s - kCropSide) * 0.5), nonNegativeOrZero((h_ * s - kCropSide) * 0.5)};
}

QPointF CropFrame::clamp(QPointF proposed) const {
    if (!hasArea())
        return {0, 0};
    const QPointF l = limits();
    return {clampAxis(proposed.x(), l.x()), clampAxis(proposed.y(), l.y())};
}

QRectF CropFrame::cropRect(QPointF offset) const {
    const double s = scale();
    const double left = (kCropSide - s * w_) * 0.5 + offset.x();
    const double top = (kCropSide - s * h_) * 0.5 + offset.y();
    const double side = kCropSide / s;
    return {-left / s, -top / s, side, side};
}

QRectF CropFrame::placement(QPointF offset, double side) const {
    const double k = side / kCropSide;
    const double s = scale();
    const double drawnW = w_ * k * s;
    const double drawnH = h_ * k * s;
    return {(side - drawnW) / 2 + offset.x() * k, (side - drawnH) / 2 + offset.y() * k, drawnW, drawnH};
}

int renderShorterSide(double zoom) {
    // A zoom below 1 shows the whole picture; one that is not a number renders nothing anyway.
    const double magnification = zoom >= 1 ? std::min(zoom, 1e6) : 1.0;
    return int(std::ceil(3.0 * kEmojiSide * magnification));
}

int workingShorterSide(double devicePixelRatio) {
    const double ratio = devicePixelRatio >= 1 ? std::min(devicePixelRatio, 8.0) : 1.0;
    return std::max(renderShorterSide(kMaxZoom), int(std::ceil(kCropSide * ratio * kMaxZoom)));
}

QPointF offsetZoomedAbout(QPointF offset, double zoom, double newZoom, QPointF anchor) {
    // The picture's centre sits at `offset` from the square's; a point at `anchor` lies
    // (anchor - offset) from the picture's centre, a distance that grows with the zoom.
    if (!(zoom > 0) || !(newZoom > 0))
        return offset;
    return anchor - (anchor - offset) * (newZoom / zoom);
}

QPointF clampedOffset(std::optional<QSizeF> pictureSize, double zoom, QPointF proposed) {
    if (!pictureSize)
        return {0, 0};
    return CropFrame(*pictureSize, zoom).clamp(proposed);
}

std::optional<QRect> emojiSourcePixels(int width, int height, double zoom, QPointF offset) {
    if (width < 1 || height < 1 || !(zoom > 0) || !std::isfinite(zoom))
        return std::nullopt;
    const QRectF crop = CropFrame(QSizeF(width, height), zoom).cropRect(offset);

    const double left = std::max(crop.x(), 0.0);
    const double top = std::max(crop.y(), 0.0);
    const double right = std::min(crop.x() + crop.width(), double(width));
    const double bottom = std::min(crop.y() + crop.height(), double(height));
    // Written as "not greater than 1" so that not-a-number offsets are refused too.
    if (!(right - left > 1) || !(bottom - top > 1))
        return std::nullopt;

    const int x0 = int(std::floor(snapped(left)));
    const int y0 = int(std::floor(snapped(top)));
    const int x1 = std::min(width, int(std::ceil(snapped(right))));
    const int y1 = std::min(height, int(std::ceil(snapped(bottom))));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

double fitZoom(QSizeF pictureSize) {
    const double shorter = std::min(pictureSize.width(), pictureSize.height());
    const double longer = std::max(pictureSize.width(), pictureSize.height());
    return shorter > 0 && longer > 0 ? shorter / longer : 1.0;
}

double lowestZoom(std::optional<QSizeF> pictureSize) {
    return pictureSize ? std::min(kMinZoom, fitZoom(*pictureSize)) : kMinZoom;
}

std::optional<QRect> emojiCanvasRect(int width, int height, double zoom, QPointF offset, int n) {
    if (!emojiSourcePixels(width, height, zoom, offset))
        return std::nullopt;
    const QRectF crop = CropFrame(QSizeF(width, height), zoom).cropRect(offset);
    // The picture's edges in output pixels, rounded to the nearest: a margin of less than half an
    // output pixel is no margin, so a picture that covers the square fills the canvas exactly.
    const auto edge = [&](double picture, double cropStart) {
        return std::clamp(int(std::lround((picture - cropStart) / crop.width() * n)), 0, n);
    };
    const int x0 = edge(0, crop.x()), x1 = edge(width, crop.x());
    const int y0 = edge(0, crop.y()), y1 = edge(height, crop.y());
    if (x1 - x0 < 1 || y1 - y0 < 1)
        return std::nullopt;
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

} // namespace cropling
