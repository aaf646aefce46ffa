#include "MessageRow.h"

#include "widgets/Theme.h"
#include "widgets/preview/Avatar.h"
#include "widgets/preview/HeaderLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace cropling {

namespace {

QFont pixelFont(int pixels, bool bold) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

MessageRow::MessageRow(const QColor& textColour, const QString& name, const QString& time, QWidget* body,
                       QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    // The avatar shows the sender's initial, in whatever language the name is.
    row->addWidget(new Avatar(name.left(1).toUpper(), this), 0, Qt::AlignTop);

    name_ = new QLabel(name, this);
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(pixelFont(15, true));
    time_ = new QLabel(time, this);
    time_->setTextFormat(Qt::PlainText);
    time_->setFont(pixelFont(12, false));

    auto* text = new QVBoxLayout;
    text->setSpacing(3);
    text->setContentsMargins(0, 0, 0, 0);
    text->addWidget(new HeaderLine(name_, time_, this), 0, Qt::AlignLeft);
    text->addWidget(body, 0, Qt::AlignLeft);
    row->addLayout(text);
    row->addStretch(1);
    setTextColour(textColour);
}

void MessageRow::setTextColour(const QColor& colour) {
    theme::setTextColor(name_, colour);
    theme::setTextColor(time_, theme::emphasised(colour, theme::Emphasis::Medium));
}

} // namespace cropling
