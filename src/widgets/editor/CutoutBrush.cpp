#include "CutoutBrush.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace cropling {

void CutoutBrush::setMode(Mode mode) {
    mode_ = mode;
    stroke_.clear();
}

void CutoutBrush::begin(QPointF at) {
    stroke_.clear();
    if (isOn())
        stroke_.push_back(at);
}

void CutoutBrush::extend(QPointF at) {
    // Points closer than a pixel add nothing a mark could show.
    if (isPainting() && QLineF(stroke_.back(), at).length() >= 1.0)
        stroke_.push_back(at);
}

std::optional<CutoutMark> CutoutBrush::finish(QSizeF pictureSize, const Framing& framing) {
    const std::vector<QPointF> stroke = std::exchange(stroke_, {});
    const CropFrame frame(pictureSize, framing.zoom);
    if (stroke.empty() || !isOn() || !frame.hasArea())
        return std::nullopt;
    // The square shows this rectangle of the picture: a point of the square is the same fraction
    // of it.
    const QRectF shown = frame.cropRect(framing.offset);
    CutoutMark mark;
    mark.keep = mode_ == Mode::Keep;
    for (const QPointF& at : stroke) {
        const double x = shown.left() + at.x() / kCropSide * shown.width();
        const double y = shown.top() + at.y() / kCropSide * shown.height();
        mark.points.emplace_back(x / pictureSize.width(), y / pictureSize.height());
    }
    mark.radius = kRadius / frame.scale() / frame.shorterSide();
    return mark;
}

void CutoutBrush::paint(QPainter& painter) const {
    if (!isPainting())
        return;
    QColor colour = mode_ == Mode::Keep ? QColor(40, 200, 90) : QColor(230, 60, 60);
    colour.setAlphaF(0.55f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(colour, 2 * kRadius, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (stroke_.size() == 1) {
        painter.drawPoint(stroke_.front());
    } else {
        QPainterPath path(stroke_.front());
        for (size_t i = 1; i < stroke_.size(); ++i)
            path.lineTo(stroke_[i]);
        painter.drawPath(path);
    }
    painter.restore();
}

} // namespace cropling
