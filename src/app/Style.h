#pragma once

// The named text styles and foreground levels of the window, derived from the application's
// palette and font so that they follow the desktop's light or dark theme.

#include <QColor>
#include <QFont>
#include <QLabel>

namespace cropling::style {

enum class Level { Primary, Secondary, Tertiary, Quaternary };

QFont headline();
QFont caption();
QFont monospacedBody();

// The window text colour at the opacity of a foreground level.
QColor level(const QColor& foreground, Level level);
QColor level(Level level);
// A thin line between areas: the text colour at low opacity.
QColor separator();
// Gives one widget its own text (and line) colour.
void setForeground(QWidget* widget, const QColor& colour);

// A label drawn at a foreground level of the window's palette, kept in step when the palette changes.
class TintedLabel : public QLabel {
public:
    TintedLabel(const QString& text, Level level, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLevel();
    Level level_;
};

} // namespace cropling::style

namespace cropling::style {
// A monochrome SVG symbol from the resources, drawn in the given colour at device pixels.
QPixmap symbol(const QString& resource, QSize size, const QColor& colour, double dpr);
} // namespace cropling::style
