#include "SymbolButton.h"

#include "widgets/SymbolLabel.h"
#include "widgets/Theme.h"

#include <QEvent>
#include <QIcon>

namespace cropling {

SymbolButton::SymbolButton(const QString& resource, QSize size, const QString& name, QWidget* parent)
    : QToolButton(parent), resource_(resource), size_(size) {
    setAutoRaise(true);
    setIconSize(size);
    setToolTip(name);
    setAccessibleName(name);
    setFocusPolicy(Qt::TabFocus);
    refreshIcon();
}

void SymbolButton::setSymbol(const QString& resource, const QString& name) {
    resource_ = resource;
    setToolTip(name);
    setAccessibleName(name);
    refreshIcon();
}

void SymbolButton::refreshIcon() {
    setIcon(QIcon(SymbolLabel::tinted(resource_, size_, theme::textColor(theme::Emphasis::High), devicePixelRatioF())));
}

void SymbolButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::EnabledChange)
        refreshIcon();
    QToolButton::changeEvent(event);
}

void SymbolButton::showEvent(QShowEvent* event) {
    refreshIcon(); // the screen, and so its pixel ratio, is known by now
    QToolButton::showEvent(event);
}

} // namespace cropling
