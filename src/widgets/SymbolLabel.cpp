#include "SymbolLabel.h"

#include <QEvent>
#include <QIcon>
#include <QPainter>

namespace cropling {

SymbolLabel::SymbolLabel(const QString& resource, QSize size, theme::Emphasis emphasis,
                         const QString& accessibleName, QWidget* parent)
    : QLabel(parent), resource_(resource), size_(size), emphasis_(emphasis) {
    setFixedSize(size);
    setAccessibleName(accessibleName);
}

void SymbolLabel::setFixedColour(const QColor& colour) {
    fixedColour_ = colour;
    update();
}

void SymbolLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        update();
    QLabel::changeEvent(event);
}

QPixmap SymbolLabel::tinted(const QString& resource, QSize size, const QColor& colour, double pixelRatio) {
    QPixmap symbol = QIcon(resource).pixmap(size, pixelRatio);
    QPainter tint(&symbol);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(QRect(QPoint(0, 0), size), colour);
    return symbol;
}

void SymbolLabel::paintEvent(QPaintEvent*) {
    const double dpr = devicePixelRatioF();
    const QColor colour = fixedColour_.isValid() ? fixedColour_ : theme::textColor(emphasis_);
    if (cached_.isNull() || cached_.devicePixelRatio() != dpr || cachedColour_ != colour) {
        cached_ = tinted(resource_, size_, colour, dpr);
        cachedColour_ = colour;
    }
    QPainter painter(this);
    painter.drawPixmap(QPointF(0, 0), cached_);
}

} // namespace cropling
