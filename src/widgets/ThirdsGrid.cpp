#include "ThirdsGrid.h"

#include <QPainter>

namespace cropling {

std::array<QLineF, 4> ThirdsGrid::lines(double s) {
    const double third = s / 3;
    const double twoThirds = (s + s) / 3;
    return {QLineF(third, 0, third, s), QLineF(0, third, s, third), QLineF(twoThirds, 0, twoThirds, s),
            QLineF(0, twoThirds, s, twoThirds)};
}

void ThirdsGrid::paint(QPainter& painter, double s) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor white(Qt::white);
    white.setAlphaF(0.35f);
    painter.setPen(QPen(white, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    for (const QLineF& line : lines(s))
        painter.drawLine(line);
    painter.restore();
}

} // namespace cropling
