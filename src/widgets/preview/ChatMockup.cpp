#include "ChatMockup.h"

#include "widgets/Theme.h"
#include "widgets/preview/EmojiSquare.h"
#include "widgets/preview/MessageRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace cropling {

QColor ChatMockup::background(bool dark) { return dark ? QColor::fromRgbF(0.1f, 0.1f, 0.11f) : QColor(Qt::white); }

QColor ChatMockup::textColour(bool dark) {
    return dark ? QColor::fromRgbF(0.92f, 0.92f, 0.92f) : QColor::fromRgbF(0.11f, 0.11f, 0.11f);
}

ChatMockup::ChatMockup(EmojiEditor* editor, QWidget* parent) : QWidget(parent) {
    setFixedWidth(kWidth);
    setAccessibleName(tr("Chat preview"));
    const QColor text = textColour(false);

    // Row 1: words, the emoji at 22 pixels, words, all on one line 3 pixels apart.
    auto* body = new QWidget;
    auto* line = new QHBoxLayout(body);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(3);
    QFont words;
    words.setPixelSize(15);
    for (const QString& phrase : {tr("ok this is perfect"), tr("shipping it")}) {
        auto* label = new QLabel(phrase, body);
        label->setFont(words);
        words_ << label;
    }
    inlineEmoji_ = new EmojiSquare(editor, 22, body);
    line->addWidget(words_[0], 0, Qt::AlignVCenter);
    line->addWidget(inlineEmoji_, 0, Qt::AlignVCenter);
    line->addWidget(words_[1], 0, Qt::AlignVCenter);

    const QString sender = tr("you");
    first_ = new MessageRow(text, sender, tr("2:47 PM"), body, this);
    // Row 2: the emoji alone at 32 pixels; its placeholder keeps the window's own foreground.
    second_ = new MessageRow(text, sender, tr("2:48 PM"), new EmojiSquare(editor, 32), this);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(16, 16, 16, 16);
    rows->setSpacing(18);
    rows->addWidget(first_);
    rows->addWidget(second_);
    applyColours();
}

void ChatMockup::setDark(bool dark) {
    if (dark == dark_)
        return;
    dark_ = dark;
    applyColours();
    update();
    Q_EMIT darkChanged(dark_);
}

void ChatMockup::applyColours() {
    const QColor text = textColour(dark_);
    first_->setTextColour(text);
    second_->setTextColour(text);
    for (QLabel* label : std::as_const(words_))
        theme::setTextColor(label, text);
    inlineEmoji_->setForeground(text);
}

void ChatMockup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF bounds(rect());
    QPainterPath background;
    background.addRoundedRect(bounds, kRadius, kRadius);
    painter.fillPath(background, ChatMockup::background(dark_));
    // The 1-pixel border is inset by half its width so it lies wholly inside the background. It is
    // the window's separator colour, whichever look the chat has.
    painter.setPen(QPen(theme::separatorColor(), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
}

} // namespace cropling
