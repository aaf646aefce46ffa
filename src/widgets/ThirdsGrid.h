#pragma once

// The rule-of-thirds guide over the picture: two vertical and two horizontal thin white lines.

#include <QLineF>

#include <array>

class QPainter;

namespace cropling {

class ThirdsGrid {
public:
    // The four lines for a square of side s, in drawing order.
    static std::array<QLineF, 4> lines(double s);
    static void paint(QPainter& painter, double s);
};

} // namespace cropling
