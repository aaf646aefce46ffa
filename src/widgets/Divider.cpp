#include "Divider.h"

#include "widgets/Theme.h"

#include <QEvent>
#include <QPainter>

namespace cropling {

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange)
        update();
    QWidget::changeEvent(event);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::separatorColor());
}

} // namespace cropling
