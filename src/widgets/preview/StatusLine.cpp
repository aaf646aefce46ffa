#include "StatusLine.h"

#include "widgets/Theme.h"

#include <QAccessible>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

#include <optional>

namespace cropling {

namespace {

// A word wrap breaks only between words; a long file name with none would run past the column.
// Zero-width spaces inside long runs give the wrap places to break.
QString breakable(const QString& text) {
    constexpr int kLongRun = 24;
    QString out;
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongRun && run % 8 == 1 && !c.isLowSurrogate())
            out += QChar(0x200B);
        out += c;
    }
    return out;
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    symbol_ = new QLabel(this);
    symbol_->setAlignment(Qt::AlignTop);
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText); // file names with * _ < & show as they are
    text_->setFont(theme::smallFont());
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(symbol_, 0, Qt::AlignTop);
    row->addWidget(text_, 1);
    setVisible(false);
}

void StatusLine::showMessage(const std::optional<QString>& message, bool failure) {
    failure_ = failure && message.has_value();
    setVisible(message.has_value());
    text_->setText(breakable(message.value_or(QString())));
    text_->setAccessibleName(message.value_or(QString()));
    text_->setAccessibleDescription(failure_ ? tr("Error") : QString());
    applyStyle();
    if (failure_ && isVisible()) {
        QAccessibleEvent alert(text_, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void StatusLine::applyStyle() {
    symbol_->setVisible(failure_);
    if (failure_) {
        const int side = text_->fontMetrics().height();
        symbol_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    }
    theme::setTextColor(text_, failure_ ? theme::errorColor() : theme::textColor(theme::Emphasis::Medium));
}

void StatusLine::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::StyleChange)
        applyStyle();
    QWidget::changeEvent(event);
}

} // namespace cropling
