#include "HeaderLine.h"

#include <QLabel>

#include <algorithm>

namespace cropling {

namespace {

constexpr int kGap = 6;

} // namespace

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
    return {name_->sizeHint().width() + kGap + time_->sizeHint().width(), base + below};
}

void HeaderLine::resizeEvent(QResizeEvent*) {
    // A label draws its text's baseline at its top plus the font's ascent.
    const int base = baseline();
    const QSize nameSize = name_->sizeHint();
    const QSize timeSize = time_->sizeHint();
    name_->setGeometry(0, base - name_->fontMetrics().ascent(), nameSize.width(), nameSize.height());
    time_->setGeometry(nameSize.width() + kGap, base - time_->fontMetrics().ascent(), timeSize.width(),
                       timeSize.height());
}

} // namespace cropling
