#include "Theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace cropling::theme {

QFont titleFont() {
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.1);
    return font;
}

QFont smallFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QFont fixedFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QApplication::font().pointSizeF());
    return font;
}

QColor emphasised(const QColor& foreground, Emphasis emphasis) {
    // Medium (secondary) texts keep a contrast of at least 4.5:1 on the window's ground in light
    // and dark themes; low (tertiary) ones are visibly lighter and keep at least 3:1; faint is for
    // grounds and lines, never text.
    static constexpr double kOpacity[] = {1.0, 0.7, 0.52, 0.1};
    QColor c = foreground;
    c.setAlphaF(float(foreground.alphaF() * kOpacity[int(emphasis)]));
    return c;
}

QColor textColor(Emphasis emphasis) {
    return emphasised(QApplication::palette().color(QPalette::WindowText), emphasis);
}

QColor separatorColor() { return textColor(Emphasis::Faint); }

QColor errorColor() {
    const bool darkGround = QApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
    return darkGround ? QColor(0xff, 0x8a, 0x80) : QColor(0xb0, 0x1c, 0x16);
}

void setTextColor(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

} // namespace cropling::theme
