#include "CropArea.h"

#include "core/CropGeometry.h"
#include "model/EmojiEditor.h"
#include "model/PasteIntake.h"
#include "widgets/Checkerboard.h"
#include "widgets/PicturePainter.h"
#include "widgets/RoundedLayer.h"
#include "widgets/SymbolLabel.h"
#include "widgets/ThirdsGrid.h"
#include "widgets/Theme.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace cropling {

CropArea::CropArea(EmojiEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFixedSize(int(kCropSide), int(kCropSide));
    setAcceptDrops(true);
    setAccessibleName(tr("Crop area"));
    setAccessibleDescription(
        tr("Drag or use the arrow keys to reposition the picture; wheel, pinch or Ctrl+plus and minus to zoom"));
    // The gestures a pointer finds here, in one line; Help › Keyboard Shortcuts has them all.
    setToolTip(tr("Drag or arrow keys (Shift: ×10) to move · wheel, pinch or Ctrl+plus/minus to zoom · "
                  "double-click or Ctrl+0 to reset"));
    setFocusPolicy(Qt::StrongFocus);

    placeholder_ = new QWidget(this);
    auto* layout = new QVBoxLayout(placeholder_);
    layout->setSpacing(8);
    layout->setAlignment(Qt::AlignCenter);
    // The board is the same light grey in every theme, so what is drawn on it has its own colour.
    auto* symbol = new SymbolLabel(QStringLiteral(":/icons/add-photo.svg"), QSize(48, 40), theme::Emphasis::Medium,
                                   tr("Add photo"), placeholder_);
    symbol->setFixedColour(Checkerboard::inkColor());
    auto* text = new QLabel(tr("Drop or paste a photo here\nor click to choose"), placeholder_);
    theme::setTextColor(text, Checkerboard::inkColor());
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol, 0, Qt::AlignCenter);
    layout->addWidget(text);
    placeholder_->setGeometry(rect());
    // Clicks go to the square itself, which opens the chooser.
    placeholder_->setAttribute(Qt::WA_TransparentForMouseEvents);
    placeholder_->setVisible(!editor_->image());

    // A picture that takes a while to open shows that it is coming; a quick one shows nothing.
    busy_ = new QProgressBar(this);
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setFixedWidth(120);
    busy_->setAccessibleName(tr("Opening the picture"));
    busy_->move((width() - busy_->width()) / 2, (height() - busy_->sizeHint().height()) / 2);
    busy_->hide();
    busyDelay_.setSingleShot(true);
    busyDelay_.setInterval(150);
    connect(&busyDelay_, &QTimer::timeout, busy_, &QWidget::show);
    // Opening a picture and making the emoji both show the bar, each under its own name.
    const auto showBusy = [this] {
        const bool exporting = editor_->isExporting();
        busy_->setAccessibleName(exporting             ? tr("Making the emoji")
                                 : editor_->isTurning() ? tr("Changing the picture (Escape cancels)")
                                                        : tr("Opening the picture"));
        if (editor_->isBusy() || exporting) {
            if (!busy_->isVisible())
                busyDelay_.start();
        } else {
            busyDelay_.stop();
            busy_->hide();
        }
    };
    connect(editor_, &EmojiEditor::busyChanged, this, showBusy);
    connect(editor_, &EmojiEditor::busyChanged, this, &CropArea::showCursor);
    connect(editor_, &EmojiEditor::exportingChanged, this, showBusy);
    connect(editor_, &EmojiEditor::imageChanged, this, [this] {
        placeholder_->setVisible(!editor_->image());
        showCursor();
        update();
    });
    showCursor();
    // A picture that arrives while the button is held (a paste, say) is not moved by the old
    // drag, whose base belongs to the old picture, nor marked by its stroke.
    connect(editor_, &EmojiEditor::newPicture, this, &CropArea::endDrag);
    connect(editor_, &EmojiEditor::newPicture, this, [this] { brush_.cancel(); });
    connect(editor_, &EmojiEditor::framingChanged, this, qOverload<>(&QWidget::update));
    connect(editor_, &EmojiEditor::frameChanged, this, qOverload<>(&QWidget::update));
}

void CropArea::paintEvent(QPaintEvent*) {
    const double side = kCropSide;
    const QRectF square(0, 0, side, side);
    QPainter painter(this);
    RoundedLayer::paint(painter, side, kCornerRadius, [this, side](QPainter& layer, double dpr) {
        Checkerboard::paint(layer, QSizeF(side, side));
        // An effect plays over the whole square: its frames are the framed picture, moving.
        if (const Picture* effect = editor_->effectFrame()) {
            PicturePainter::paint(layer, *effect, Framing{}, side, dpr);
            ThirdsGrid::paint(layer, side);
        } else if (const Picture* picture = editor_->shownFrame()) {
            PicturePainter::paint(layer, *picture, editor_->framing(), side, dpr);
            ThirdsGrid::paint(layer, side);
        }
    });
    brush_.paint(painter);

    painter.setRenderHint(QPainter::Antialiasing, true);
    // The stroke lies wholly inside the square: inset by half its width. A file held over the
    // square, and keyboard focus, show in the highlight colour.
    const bool highlighted = dropHighlighted_ || keyboardFocus_;
    const double width = highlighted ? 2.0 : 1.0;
    QColor colour = highlighted ? palette().color(QPalette::Highlight) : theme::textColor(theme::Emphasis::Medium);
    if (!highlighted)
        colour.setAlphaF(colour.alphaF() * 0.4f);
    painter.setPen(QPen(colour, width));
    painter.setBrush(Qt::NoBrush);
    const double inset = width / 2;
    painter.drawRoundedRect(square.adjusted(inset, inset, -inset, -inset), kCornerRadius - inset, kCornerRadius - inset);
}

void CropArea::setBrushMode(CutoutBrush::Mode mode) {
    brush_.setMode(mode);
    showCursor();
    update();
}

bool CropArea::brushPaints() const { return brush_.isOn() && editor_->canMarkCutout() && !editor_->effectFrame(); }

void CropArea::showCursor() {
    if (!editor_->image())
        setCursor(Qt::PointingHandCursor);
    else if (brush_.isOn() && editor_->hasCutout())
        setCursor(editor_->isTurning() ? Qt::BusyCursor : Qt::CrossCursor);
    else
        setCursor(dragBase_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

void CropArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    // With a brush on, a press paints and never moves the picture; while a mark is being made
    // it does nothing (the cursor says to wait).
    if (brush_.isOn() && editor_->hasCutout()) {
        if (brushPaints())
            brush_.begin(event->position());
        return update();
    }
    pressPosition_ = event->position();
    dragging_ = false;
}

void CropArea::mouseDoubleClickEvent(QMouseEvent* event) {
    // Two quick dabs of the brush are two presses, not a reset.
    if (event->button() == Qt::LeftButton && brush_.isOn() && editor_->hasCutout())
        return mousePressEvent(event);
    if (event->button() == Qt::LeftButton && editor_->image())
        editor_->resetCrop();
}

void CropArea::zoomToward(double factor, QPointF at) {
    const QPointF fromCentre = at - QPointF(kCropSide / 2, kCropSide / 2);
    editor_->zoomAbout(editor_->zoom() * factor, fromCentre);
}

void CropArea::wheelEvent(QWheelEvent* event) {
    if (!editor_->image())
        return event->ignore();
    // 120 is one notch of an ordinary wheel; touchpads send smaller steps more often.
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        zoomToward(std::pow(kZoomStep, notches), event->position());
    event->accept();
}

bool CropArea::event(QEvent* event) {
    // A touchpad pinch arrives as a native gesture whose value is the change of scale.
    if (event->type() == QEvent::NativeGesture && editor_->image()) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomToward(1.0 + gesture->value(), gesture->position());
            return true;
        }
    }
    return QWidget::event(event);
}

void CropArea::keyPressEvent(QKeyEvent* event) {
    // The empty square is a button for choosing a picture, for the keyboard as for the pointer.
    if (!editor_->image() && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                              event->key() == Qt::Key_Enter)) {
        event->accept();
        Q_EMIT chooseRequested();
        return;
    }
    if (!editor_->image())
        return QWidget::keyPressEvent(event);
    const double step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const QPointF centre(kCropSide / 2, kCropSide / 2);
    switch (event->key()) {
    case Qt::Key_Left: editor_->setOffset(editor_->offset() + QPointF(-step, 0)); break;
    case Qt::Key_Right: editor_->setOffset(editor_->offset() + QPointF(step, 0)); break;
    case Qt::Key_Up: editor_->setOffset(editor_->offset() + QPointF(0, -step)); break;
    case Qt::Key_Down: editor_->setOffset(editor_->offset() + QPointF(0, step)); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (!control)
            return QWidget::keyPressEvent(event);
        zoomToward(kZoomStep, centre);
        break;
    case Qt::Key_Minus:
        if (!control)
            return QWidget::keyPressEvent(event);
        zoomToward(1 / kZoomStep, centre);
        break;
    case Qt::Key_0:
        if (!control)
            return QWidget::keyPressEvent(event);
        editor_->resetCrop();
        break;
    case Qt::Key_Escape:
        // A stroke being painted is let go of, or else a change of the picture being made;
        // otherwise the key is the window's.
        if (brush_.isPainting()) {
            brush_.cancel();
            update();
        } else if (editor_->isTurning()) {
            editor_->cancelPictureChange();
        } else {
            return QWidget::keyPressEvent(event);
        }
        break;
    default: return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void CropArea::focusInEvent(QFocusEvent* event) {
    // The ring shows where the keys go when they were what brought focus here; a click or the
    // window opening needs no ring.
    const Qt::FocusReason reason = event->reason();
    keyboardFocus_ = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    update();
    QWidget::focusInEvent(event);
}

void CropArea::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    update();
    QWidget::focusOutEvent(event);
}

void CropArea::mouseMoveEvent(QMouseEvent* event) {
    if (brush_.isPainting()) {
        brush_.extend(event->position());
        return update();
    }
    if (!pressPosition_)
        return;
    const QPointF translation = event->position() - *pressPosition_;
    if (!dragging_ && std::hypot(translation.x(), translation.y()) < kDragThreshold)
        return;
    dragging_ = true;
    if (!editor_->image())
        return;
    if (!dragBase_) {
        dragBase_ = editor_->offset();
        // The whole drag is one step of the history.
        editor_->beginGesture();
        showCursor();
    }
    editor_->setOffset(*dragBase_ + translation);
}

void CropArea::endDrag() {
    if (dragBase_)
        editor_->endGesture();
    pressPosition_.reset();
    dragBase_.reset();
    dragging_ = false;
    showCursor();
}

void CropArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && brush_.isPainting()) {
        brush_.extend(event->position());
        const PicturePtr picture = editor_->image();
        if (const auto mark = picture ? brush_.finish(picture->nominalSize(), editor_->framing()) : std::nullopt)
            editor_->markCutout(*mark);
        brush_.cancel();
        return update();
    }
    if (event->button() != Qt::LeftButton || !pressPosition_)
        return QWidget::mouseReleaseEvent(event);
    const bool click = !dragging_;
    endDrag();
    if (click && !editor_->image())
        Q_EMIT chooseRequested();
}

void CropArea::setDropHighlighted(bool highlighted) {
    if (highlighted == dropHighlighted_)
        return;
    dropHighlighted_ = highlighted;
    update();
}

void CropArea::dragEnterEvent(QDragEnterEvent* event) {
    // Only drags that carry a file location are taken; text and bare image data are refused and
    // leave the border as it is.
    if (!firstDroppedFile(event->mimeData()))
        return event->ignore();
    // Always a copy: a source offering only a move would delete the file it thinks it handed over.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setDropHighlighted(true);
}

void CropArea::dragLeaveEvent(QDragLeaveEvent*) { setDropHighlighted(false); }

void CropArea::dropEvent(QDropEvent* event) {
    setDropHighlighted(false);
    if (editor_->handleDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace cropling
