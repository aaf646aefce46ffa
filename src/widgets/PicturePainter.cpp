#include "PicturePainter.h"

#include "core/CropGeometry.h"
#include "image/Picture.h"

#include <QPainter>

#include <cmath>

namespace cropling {

void PicturePainter::paint(QPainter& painter, const Picture& picture, const Framing& framing, double side,
                           double dpr) {
    const QRectF placed = CropFrame(picture.nominalSize(), framing.zoom).placement(framing.offset, side);
    if (!(placed.width() > 0) || !(placed.height() > 0) || !std::isfinite(placed.width()) ||
        !std::isfinite(placed.height()) || !std::isfinite(placed.x()) || !std::isfinite(placed.y()))
        return;

    const QRectF visible = placed.intersected(QRectF(0, 0, side, side));
    if (visible.isEmpty())
        return;

    // A level with at least as many pixels as the device shows, so the bilinear draw only ever
    // reduces by less than two and never aliases.
    const QImage& level = picture.displayLevel(placed.width() * dpr / picture.pixelWidth());
    if (level.isNull())
        return;
    const double sx = level.width() / placed.width();
    const double sy = level.height() / placed.height();
    const QRectF source((visible.x() - placed.x()) * sx, (visible.y() - placed.y()) * sy, visible.width() * sx,
                        visible.height() * sy);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(visible, level, source);
    painter.restore();
}

} // namespace cropling
