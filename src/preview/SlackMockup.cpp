#include "SlackMockup.h"

#include "app/ContentView.h"
#include "app/Style.h"
#include "preview/EmojiSquare.h"
#include "preview/MessageRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace cropling {

QColor SlackMockup::background(bool dark) { return dark ? QColor::fromRgbF(0.1f, 0.1f, 0.11f) : QColor(Qt::white); }

QColor SlackMockup::textColour(bool dark) {
    return dark ? QColor::fromRgbF(0.92f, 0.92f, 0.92f) : QColor::fromRgbF(0.11f, 0.11f, 0.11f);
}

SlackMockup::SlackMockup(ContentView* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFixedWidth(kWidth);
    setAccessibleName(tr("Chat preview"));
    const QColor text = textColour(false);

    // Row 1: words, the emoji at 22 points, words, all on one line 3 points apart.
    auto* body = new QWidget;
    auto* line = new QHBoxLayout(body);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(3);
    QFont words;
    words.setPixelSize(15);
    for (const QString& phrase : {QStringLiteral("ok this is perfect"), QStringLiteral("shipping it")}) {
        auto* label = new QLabel(phrase, body);
        label->setFont(words);
        words_ << label;
    }
    inlineEmoji_ = new EmojiSquare(editor_, 22, body);
    line->addWidget(words_[0], 0, Qt::AlignVCenter);
    line->addWidget(inlineEmoji_, 0, Qt::AlignVCenter);
    line->addWidget(words_[1], 0, Qt::AlignVCenter);

    first_ = new MessageRow(text, QStringLiteral("you"), QStringLiteral("2:47 PM"), body, this);
    // Row 2: the emoji alone at 32 points; its placeholder keeps the window's own foreground.
    second_ = new MessageRow(text, QStringLiteral("you"), QStringLiteral("2:48 PM"), new EmojiSquare(editor_, 32), this);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(16, 16, 16, 16);
    rows->setSpacing(18);
    rows->addWidget(first_);
    rows->addWidget(second_);

    connect(editor_, &ContentView::changed, this, &SlackMockup::syncFromEditor);
    dark_ = !editor_->darkPreview(); // force the first sync to apply colours
    syncFromEditor();
}

void SlackMockup::syncFromEditor() {
    if (dark_ == editor_->darkPreview())
        return;
    dark_ = editor_->darkPreview();
    const QColor text = textColour(dark_);
    first_->setTextColour(text);
    second_->setTextColour(text);
    for (QLabel* label : std::as_const(words_))
        style::setForeground(label, text);
    inlineEmoji_->setForeground(text);
    update();
}

void SlackMockup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF bounds(rect());
    QPainterPath background;
    background.addRoundedRect(bounds, kRadius, kRadius);
    painter.fillPath(background, SlackMockup::background(dark_));
    // The 1-point border is inset by half its width so it lies wholly inside the background.
    painter.setPen(QPen(style::separator(), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
}

} // namespace cropling
