#pragma once

// The board of 10-pixel light and dark grey cells under the picture; it shows through transparent
// pixels. Fixed greys, the same in light and dark themes.

#include <QColor>
#include <QList>
#include <QRectF>

class QPainter;

namespace cropling {

class Checkerboard {
public:
    static constexpr double kCell = 10.0;
    static QColor lightColor() { return QColor::fromRgbF(0.95f, 0.95f, 0.95f); }
    static QColor darkColor() { return QColor::fromRgbF(0.85f, 0.85f, 0.85f); }
    // Texts and symbols drawn on the board: dark enough for both greys whatever the theme.
    static QColor inkColor() { return QColor(0x45, 0x45, 0x45); }

    // The dark cells for a canvas of the given size, row by row; the top-left cell is dark and cells
    // cut by the right and bottom edges are included whole (painting clips them).
    static QList<QRectF> darkCells(QSizeF size);
    static void paint(QPainter& painter, QSizeF size);
};

} // namespace cropling
