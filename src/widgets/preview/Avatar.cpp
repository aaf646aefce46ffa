#include "Avatar.h"

#include "widgets/Theme.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace cropling {

Avatar::Avatar(const QString& letter, QWidget* parent) : QWidget(parent) {
    setFixedSize(kSide, kSide);
    auto* label = new QLabel(letter, this);
    QFont font = label->font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    theme::setTextColor(label, Qt::white);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
}

void Avatar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient gradient(QPointF(0, 0), QPointF(kSide, kSide));
    gradient.setColorAt(0, purple());
    gradient.setColorAt(1, pink());
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, kSide, kSide), kRadius, kRadius);
    painter.fillPath(rounded, gradient);
}

} // namespace cropling
