#include "MessageRow.h"

#include "app/Style.h"
#include "preview/Avatar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

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
    row->addWidget(new Avatar(QStringLiteral("Y"), this), 0, Qt::AlignTop);

    name_ = new QLabel(name, this);
    name_->setTextFormat(Qt::PlainText);
    name_->setFont(pixelFont(15, true));
    auto* timeLabel = new style::TintedLabel(time, style::Level::Secondary, this);
    timeLabel->setTextFormat(Qt::PlainText);
    timeLabel->setFont(pixelFont(12, false));

    auto* text = new QVBoxLayout;
    text->setSpacing(3);
    text->setContentsMargins(0, 0, 0, 0);
    text->addWidget(new HeaderLine(name_, timeLabel, this), 0, Qt::AlignLeft);
    text->addWidget(body, 0, Qt::AlignLeft);
    row->addLayout(text);
    row->addStretch(1);
    setTextColour(textColour);
}

void MessageRow::setTextColour(const QColor& colour) { style::setForeground(name_, colour); }

HeaderLine::HeaderLine(QLabel* name, QLabel* time, QWidget* parent) : QWidget(parent), name_(name), time_(time) {
    name_->setParent(this);
    time_->setParent(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int HeaderLine::baseline() const {
    return std::max(name_->fontMetrics().ascent(), time_->fontMetrics().ascent());
}

QSize HeaderLine::sizeHint() const {
    const int base = baseline();
    const int below = std::max(name_->fontMetrics().descent(), time_->fontMetrics().descent());
    return {name_->sizeHint().width() + 6 + time_->sizeHint().width(), base + below};
}

void HeaderLine::resizeEvent(QResizeEvent*) {
    // A label draws its text's baseline at its top plus the font's ascent.
    const int base = baseline();
    const QSize nameSize = name_->sizeHint();
    const QSize timeSize = time_->sizeHint();
    name_->setGeometry(0, base - name_->fontMetrics().ascent(), nameSize.width(), nameSize.height());
    time_->setGeometry(nameSize.width() + 6, base - time_->fontMetrics().ascent(), timeSize.width(), timeSize.height());
}

} // namespace cropling
