#include "Checkerboard.h"

#include <QPainter>

namespace cropling {

QList<QRectF> Checkerboard::darkCells(QSizeF size) {
    QList<QRectF> cells;
    int row = 0;
    for (double y = 0; y < size.height(); y += kCell, ++row) {
        for (double x = (row % 2) ? kCell : 0; x < size.width(); x += 2 * kCell)
            cells.append(QRectF(x, y, kCell, kCell));
    }
    return cells;
}

void Checkerboard::paint(QPainter& painter, QSizeF size) {
    painter.save();
    painter.setClipRect(QRectF(QPointF(0, 0), size), Qt::IntersectClip);
    painter.fillRect(QRectF(QPointF(0, 0), size), lightColor());
    const QColor dark = darkColor();
    for (const QRectF& cell : darkCells(size))
        painter.fillRect(cell, dark);
    painter.restore();
}

} // namespace cropling
