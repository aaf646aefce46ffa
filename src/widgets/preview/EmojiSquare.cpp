#include "EmojiSquare.h"

#include "model/EmojiEditor.h"
#include "widgets/PicturePainter.h"
#include "widgets/RoundedLayer.h"
#include "widgets/Theme.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace cropling {

EmojiSquare::EmojiSquare(EmojiEditor* editor, double side, QWidget* parent)
    : QWidget(parent), editor_(editor), side_(side) {
    setFixedSize(int(side), int(side));
    setAccessibleName(tr("Emoji preview at %1 pixels").arg(side));
    connect(editor_, &EmojiEditor::imageChanged, this, [this] {
        setCursor(editor_->image() ? Qt::OpenHandCursor : Qt::ArrowCursor);
        update();
    });
    connect(editor_, &EmojiEditor::framingChanged, this, qOverload<>(&QWidget::update));
    connect(editor_, &EmojiEditor::frameChanged, this, qOverload<>(&QWidget::update));
}

void EmojiSquare::setForeground(const QColor& foreground) {
    foreground_ = foreground;
    update();
}

void EmojiSquare::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && editor_->image())
        pressPosition_ = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void EmojiSquare::mouseMoveEvent(QMouseEvent* event) {
    if (!pressPosition_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *pressPosition_).manhattanLength() < QApplication::startDragDistance())
        return QWidget::mouseMoveEvent(event);
    pressPosition_.reset();
    QMimeData* carried = editor_->dragData();
    if (!carried)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(carried);
    drag->setPixmap(grab());
    drag->exec(Qt::CopyAction);
}

void EmojiSquare::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Picture* picture = editor_->shownFrame();
    if (!picture) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, side_, side_), cornerRadius(), cornerRadius());
        const QColor base = foreground_.isValid() ? foreground_ : palette().color(QPalette::WindowText);
        painter.fillPath(rounded, theme::emphasised(base, theme::Emphasis::Faint));
        return;
    }
    RoundedLayer::paint(painter, side_, cornerRadius(), [this, picture](QPainter& layer, double dpr) {
        if (const Picture* effect = editor_->effectFrame())
            PicturePainter::paint(layer, *effect, Framing{}, side_, dpr);
        else
            PicturePainter::paint(layer, *picture, editor_->framing(), side_, dpr);
    });
}

} // namespace cropling
