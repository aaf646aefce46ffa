#pragma once

// Draws the framed picture into a square of any side: the editor's crop area at 340 logical pixels
// and the chat preview's emoji at 22 and 32 share this one placement.

#include "core/CropGeometry.h"
#include <QPointF>

class QPainter;

namespace cropling {

class Picture;

class PicturePainter {
public:
    // Paints into the square [0, side] x [0, side] of the painter's coordinates, at a device pixel
    // ratio of dpr; nothing is drawn outside the square, and nothing at all for a zoom that gives
    // no finite, positive size.
    static void paint(QPainter& painter, const Picture& picture, const Framing& framing, double side, double dpr);
};

} // namespace cropling
