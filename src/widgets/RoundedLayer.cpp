#include "RoundedLayer.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace cropling {

void RoundedLayer::paint(QPainter& painter, double side, double radius, const Content& content) {
    const double dpr = painter.device()->devicePixelRatioF();
    const int pixels = int(std::ceil(side * dpr));
    QImage layer(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        content(layerPainter, dpr);
    }
    // A texture brush applies the image's own pixel ratio on top of its transform; the transform
    // alone does the scaling here.
    layer.setDevicePixelRatio(1.0);
    QBrush brush(layer);
    brush.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, side, side), radius, radius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(rounded, brush);
    painter.restore();
}

} // namespace cropling
