#include "TintedLabel.h"

#include <QEvent>

namespace cropling {

TintedLabel::TintedLabel(const QString& text, theme::Emphasis emphasis, QWidget* parent)
    : QLabel(text, parent), emphasis_(emphasis) {
    applyEmphasis();
}

void TintedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyEmphasis();
    QLabel::changeEvent(event);
}

void TintedLabel::applyEmphasis() { theme::setTextColor(this, theme::textColor(emphasis_)); }

} // namespace cropling
