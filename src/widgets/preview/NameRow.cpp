#include "NameRow.h"

#include "core/EmojiName.h"
#include "model/EmojiEditor.h"
#include "widgets/Theme.h"
#include "widgets/TintedLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace cropling {

NameRow::NameRow(EmojiEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFont(theme::fixedFont());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    field_ = new QLineEdit(this);
    field_->setFrame(false);
    field_->setFixedWidth(160);
    field_->setPlaceholderText(tr("emoji-name"));
    field_->setAccessibleName(tr("Emoji name"));
    // The field draws no ground of its own; the row's rounded ground shows through.
    QPalette p = field_->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(p);
    row->addWidget(new TintedLabel(QStringLiteral(":"), theme::Emphasis::Medium, this));
    row->addWidget(field_);
    row->addWidget(new TintedLabel(QStringLiteral(":"), theme::Emphasis::Medium, this));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    field_->installEventFilter(this);
    connect(field_, &QLineEdit::textEdited, this, &NameRow::takeEdit);
    // Leaving the field finishes the name: a hyphen left at its end goes.
    connect(field_, &QLineEdit::editingFinished, this, [this] {
        const QString finished = finishedEmojiName(field_->text());
        if (finished != field_->text())
            editor_->setEmojiName(finished);
    });
    connect(editor_, &EmojiEditor::nameChanged, this, &NameRow::showName);
    showName();
}

bool NameRow::eventFilter(QObject* watched, QEvent* event) {
    // A line edit takes Ctrl+C for itself even with nothing selected, where it copies nothing: then
    // the window's Copy, the emoji, gets it, as the menu promises. A selection is copied as text.
    if (watched == field_ && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) && !field_->hasSelectedText()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NameRow::takeEdit(const QString& typed) {
    const QString name = typedEmojiName(typed);
    if (name != typed) {
        // The cursor stays where it was, less what went before it.
        const int cursor = int(typedEmojiName(typed.left(field_->cursorPosition())).size());
        field_->setText(name);
        field_->setCursorPosition(cursor);
    }
    Q_EMIT nameAdjusted(name != typed);
    editor_->setEmojiName(name);
}

void NameRow::showName() {
    if (field_->text() == editor_->emojiName())
        return;
    field_->setText(editor_->emojiName());
    // A name set from elsewhere (a new picture, an undo) shows from its start.
    field_->setCursorPosition(0);
}

void NameRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor ground = theme::textColor(theme::Emphasis::Faint);
    ground.setAlphaF(ground.alphaF() * 0.5f);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(rounded, ground);
}

} // namespace cropling
