#include "Style.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QPalette>

namespace cropling::style {

QFont headline() {
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.1);
    return font;
}

QFont caption() {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QFont monospacedBody() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QApplication::font().pointSizeF());
    return font;
}

QColor level(const QColor& foreground, Level level) {
    // The opacities of the usual label hierarchy: full, one half, about a quarter, a tenth.
    static constexpr double kOpacity[] = {1.0, 0.5, 0.26, 0.1};
    QColor c = foreground;
    c.setAlphaF(float(foreground.alphaF() * kOpacity[int(level)]));
    return c;
}

QColor level(Level l) { return level(QApplication::palette().color(QPalette::WindowText), l); }

QColor separator() { return level(Level::Quaternary); }

void setForeground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

TintedLabel::TintedLabel(const QString& text, Level level, QWidget* parent) : QLabel(text, parent), level_(level) {
    applyLevel();
}

void TintedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyLevel();
    QLabel::changeEvent(event);
}

void TintedLabel::applyLevel() { setForeground(this, level(QApplication::palette().color(QPalette::WindowText), level_)); }

} // namespace cropling::style

#include <QIcon>
#include <QPainter>

namespace cropling::style {

QPixmap symbol(const QString& resource, QSize size, const QColor& colour, double dpr) {
    QPixmap pixmap = QIcon(resource).pixmap(size, dpr);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), size), colour);
    return pixmap;
}

} // namespace cropling::style
