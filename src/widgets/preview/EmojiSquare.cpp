#include "EmojiSquare.h"

#include "model/EmojiEditor.h"
#include "widgets/PicturePainter.h"
#include "widgets/RoundedLayer.h"
#include "widgets/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace cropling {

EmojiSquare::EmojiSquare(EmojiEditor* editor, double side, QWidget* parent)
    : QWidget(parent), editor_(editor), side_(side) {
    setFixedSize(int(side), int(side));
    setAccessibleName(tr("Emoji preview at %1 pixels").arg(side));
    connect(editor_, &EmojiEditor::imageChanged, this, qOverload<>(&QWidget::update));
    connect(editor_, &EmojiEditor::framingChanged, this, qOverload<>(&QWidget::update));
}

void EmojiSquare::setForeground(const QColor& foreground) {
    foreground_ = foreground;
    update();
}

void EmojiSquare::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const auto& picture = editor_->image();
    if (!picture) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, side_, side_), cornerRadius(), cornerRadius());
        const QColor base = foreground_.isValid() ? foreground_ : palette().color(QPalette::WindowText);
        painter.fillPath(rounded, theme::emphasised(base, theme::Emphasis::Faint));
        return;
    }
    RoundedLayer::paint(painter, side_, cornerRadius(), [this, &picture](QPainter& layer, double dpr) {
        PicturePainter::paint(layer, *picture, editor_->zoom(), editor_->offset(), side_, dpr);
    });
}

} // namespace cropling
