#pragma once

// The window's fonts and the emphasis levels of its texts, lines and symbols, derived from the
// application's palette and font so that they follow the desktop's light or dark theme.

#include <QColor>
#include <QFont>

class QWidget;

namespace cropling::theme {

// How strongly a text, symbol or line stands out: the window text at full, 70%, 60% and a tenth
// of its opacity. Texts at medium and low emphasis stay readable (4.5:1) in light and dark themes.
enum class Emphasis { High, Medium, Low, Faint };

// Section titles: the application font in bold, a tenth larger.
QFont titleFont();
// Hints, the status line and notes: the application font at 85%.
QFont smallFont();
// The system's fixed-pitch font at the application font's size.
QFont fixedFont();

// A foreground colour at the opacity of an emphasis level.
QColor emphasised(const QColor& foreground, Emphasis emphasis);
// The application palette's window text at an emphasis level.
QColor textColor(Emphasis emphasis);
// A thin line between areas.
QColor separatorColor();

// The colour of a failure's text and symbol: a red that keeps 4.5:1 on the window's ground, darker
// on a light ground and lighter on a dark one.
QColor errorColor();
// Gives one widget its own text (and line) colour.
void setTextColor(QWidget* widget, const QColor& colour);

} // namespace cropling::theme
