#include "NameRow.h"

#include "app/ContentView.h"
#include "app/Style.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace cropling {

NameRow::NameRow(ContentView* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFont(style::monospacedBody());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    field_ = new QLineEdit(this);
    field_->setFrame(false);
    field_->setFixedWidth(160);
    field_->setPlaceholderText(QStringLiteral("emoji-name"));
    field_->setAccessibleName(tr("Emoji name"));
    // The field draws no ground of its own; the row's rounded ground shows through.
    QPalette p = field_->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(p);
    row->addWidget(new style::TintedLabel(QStringLiteral(":"), style::Level::Secondary, this));
    row->addWidget(field_);
    row->addWidget(new style::TintedLabel(QStringLiteral(":"), style::Level::Secondary, this));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    connect(field_, &QLineEdit::textEdited, editor_, &ContentView::setEmojiName);
    connect(editor_, &ContentView::changed, this, &NameRow::syncFromEditor);
    syncFromEditor();
}

void NameRow::syncFromEditor() {
    if (field_->text() != editor_->emojiName())
        field_->setText(editor_->emojiName());
}

void NameRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor ground = style::level(style::Level::Quaternary);
    ground.setAlphaF(ground.alphaF() * 0.5f);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(rounded, ground);
}

} // namespace cropling
