#include "SymbolButton.h"

#include "widgets/Theme.h"

#include <QEvent>
#include <QIcon>
#include <QPainter>

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

void SymbolButton::refreshIcon() {
    const double ratio = devicePixelRatioF();
    QPixmap tinted = QIcon(resource_).pixmap(size_, ratio);
    QPainter tint(&tinted);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(QRect(QPoint(0, 0), size_), theme::textColor(theme::Emphasis::High));
    tint.end();
    setIcon(QIcon(tinted));
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
