#include "CropArea.h"

#include "app/ContentView.h"
#include "app/Style.h"
#include "editor/CheckerboardBackground.h"
#include "editor/CropGrid.h"
#include "editor/EmojiComposition.h"
#include "editor/RoundedLayer.h"
#include "intake/PasteIntake.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace cropling {

CropArea::CropArea(ContentView* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setFixedSize(int(ContentView::cropSide), int(ContentView::cropSide));
    setAcceptDrops(true);
    setAccessibleName(tr("Crop area"));
    setAccessibleDescription(tr("Drag to reposition the picture"));

    placeholder_ = new QWidget(this);
    auto* layout = new QVBoxLayout(placeholder_);
    layout->setSpacing(8);
    layout->setAlignment(Qt::AlignCenter);
    auto* symbol = new QLabel(placeholder_);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(style::symbol(QStringLiteral(":/icons/photo-badge-plus.svg"), QSize(48, 40),
                                    style::level(style::Level::Secondary), devicePixelRatioF()));
    symbol->setAccessibleName(tr("Add photo"));
    auto* text = new style::TintedLabel(QStringLiteral("Drop or paste a photo here\nor click to choose"),
                                        style::Level::Secondary, placeholder_);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol);
    layout->addWidget(text);
    placeholder_->setGeometry(rect());
    // Clicks go to the square itself, which opens the chooser.
    placeholder_->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(editor_, &ContentView::changed, this, &CropArea::syncFromEditor);
    syncFromEditor();
}

void CropArea::syncFromEditor() {
    placeholder_->setVisible(!editor_->image());
    update();
}

void CropArea::paintEvent(QPaintEvent*) {
    const double side = ContentView::cropSide;
    const QRectF square(0, 0, side, side);
    QPainter painter(this);
    RoundedLayer::paint(painter, side, kCornerRadius, [this, side](QPainter& layer, double dpr) {
        CheckerboardBackground::paint(layer, QSizeF(side, side));
        if (const auto& picture = editor_->image()) {
            EmojiComposition::paint(layer, *picture, editor_->zoom(), editor_->offset(), side, dpr);
            CropGrid::paint(layer, side);
        }
    });

    painter.setRenderHint(QPainter::Antialiasing, true);
    // The stroke lies wholly inside the square: inset by half its width.
    const bool targeted = editor_->dropTargeted();
    const double width = targeted ? 2.0 : 1.0;
    QColor colour = targeted ? palette().color(QPalette::Highlight) : style::level(style::Level::Secondary);
    if (!targeted)
        colour.setAlphaF(colour.alphaF() * 0.4f);
    painter.setPen(QPen(colour, width));
    painter.setBrush(Qt::NoBrush);
    const double inset = width / 2;
    painter.drawRoundedRect(square.adjusted(inset, inset, -inset, -inset), kCornerRadius - inset, kCornerRadius - inset);
}

void CropArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    pressPosition_ = event->position();
    dragging_ = false;
}

void CropArea::mouseMoveEvent(QMouseEvent* event) {
    if (!pressPosition_)
        return;
    const QPointF translation = event->position() - *pressPosition_;
    if (!dragging_ && std::hypot(translation.x(), translation.y()) < kDragThreshold)
        return;
    dragging_ = true;
    if (editor_->image())
        editor_->dragChanged({translation.x(), translation.y()});
}

void CropArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressPosition_)
        return QWidget::mouseReleaseEvent(event);
    pressPosition_.reset();
    if (dragging_) {
        dragging_ = false;
        editor_->dragEnded();
    } else if (!editor_->image()) {
        editor_->setShowingImporter(true);
    }
}

void CropArea::dragEnterEvent(QDragEnterEvent* event) {
    // Only drags that carry a file location are taken; text and bare image data are refused and
    // leave the border as it is.
    if (!firstDroppedFile(event->mimeData()))
        return event->ignore();
    event->acceptProposedAction();
    editor_->setDropTargeted(true);
}

void CropArea::dragLeaveEvent(QDragLeaveEvent*) { editor_->setDropTargeted(false); }

void CropArea::dropEvent(QDropEvent* event) {
    editor_->setDropTargeted(false);
    if (editor_->handleDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace cropling
