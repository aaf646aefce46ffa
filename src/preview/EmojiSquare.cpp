#include "EmojiSquare.h"

#include "app/ContentView.h"
#include "app/Style.h"
#include "editor/EmojiComposition.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace cropling {

EmojiSquare::EmojiSquare(ContentView* editor, double side, QWidget* parent)
    : QWidget(parent), editor_(editor), side_(side) {
    setFixedSize(int(side), int(side));
    setAccessibleName(tr("Emoji preview at %1 points").arg(side));
    connect(editor_, &ContentView::changed, this, qOverload<>(&QWidget::update));
}

void EmojiSquare::setForeground(const QColor& foreground) {
    foreground_ = foreground;
    update();
}

void EmojiSquare::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, side_, side_), cornerRadius(), cornerRadius());

    const auto& picture = editor_->image();
    if (!picture) {
        const QColor base = foreground_.isValid() ? foreground_ : palette().color(QPalette::WindowText);
        painter.fillPath(rounded, style::level(base, style::Level::Quaternary));
        return;
    }
    // Drawn at device pixels into a layer, then cut with an antialiased rounded edge.
    const double dpr = devicePixelRatioF();
    const int pixels = int(std::ceil(side_ * dpr));
    QImage layer(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        EmojiComposition::paint(layerPainter, *picture, editor_->zoom(), editor_->offset(), side_, dpr);
    }
    QBrush brush(layer);
    brush.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    painter.fillPath(rounded, brush);
}

} // namespace cropling
