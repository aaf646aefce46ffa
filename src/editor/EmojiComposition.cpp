#include "EmojiComposition.h"

#include "intake/Picture.h"

#include <QPainter>

#include <cmath>

namespace cropling {

void EmojiComposition::paint(QPainter& painter, const Picture& picture, double zoom, SizeD offset, double side,
                             double dpr) {
    const SizeD size = picture.nominalSize();
    const RectD placed = CropFrame(size.width, size.height, zoom).placement(offset, side);
    if (!(placed.width > 0) || !(placed.height > 0) || !std::isfinite(placed.width) || !std::isfinite(placed.height) ||
        !std::isfinite(placed.x) || !std::isfinite(placed.y))
        return;

    const QRectF target(placed.x, placed.y, placed.width, placed.height);
    const QRectF visible = target.intersected(QRectF(0, 0, side, side));
    if (visible.isEmpty())
        return;

    // A level with at least as many pixels as the device shows, so the bilinear draw only ever
    // reduces by less than two and never aliases.
    const QImage& level = picture.display().levelFor(placed.width * dpr / picture.pixelWidth());
    const double sx = level.width() / placed.width;
    const double sy = level.height() / placed.height;
    const QRectF source((visible.x() - placed.x) * sx, (visible.y() - placed.y) * sy, visible.width() * sx,
                        visible.height() * sy);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(visible, level, source);
    painter.restore();
}

} // namespace cropling
