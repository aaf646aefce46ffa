#pragma once

// The 340-pixel square where the picture is framed: checkerboard, picture and thirds grid inside
// rounded corners, the empty-state placeholder, dragging to pan, a click to choose a file while
// empty, and file drops.

#include "widgets/editor/CutoutBrush.h"

#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <optional>

class QProgressBar;

namespace cropling {

class EmojiEditor;

class CropArea : public QWidget {
    Q_OBJECT
public:
    explicit CropArea(EmojiEditor* editor, QWidget* parent = nullptr);

    static constexpr double kDragThreshold = 10.0;
    static constexpr double kCornerRadius = 8.0;
    // One notch of a mouse wheel, and one press of Ctrl+plus, zooms by this factor.
    static constexpr double kZoomStep = 1.25;

    // Whether a drag is moving the picture, and whether a file being dragged over would be taken.
    bool isPanning() const { return dragBase_.has_value(); }
    bool isDropHighlighted() const { return dropHighlighted_; }

    // After a background's removal, a drag paints a mark of what to keep or remove instead of
    // moving the picture; Off moves it again.
    void setBrushMode(CutoutBrush::Mode mode);
    CutoutBrush::Mode brushMode() const { return brush_.mode(); }

Q_SIGNALS:
    // The empty square was clicked: the user wants to choose a picture.
    void chooseRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropHighlighted(bool highlighted);
    void endDrag();
    void showCursor();
    // Zooms by a factor toward a point of the square (widget coordinates).
    void zoomToward(double factor, QPointF at);
    bool brushPaints() const;

    EmojiEditor* editor_;
    QWidget* placeholder_;
    std::optional<QPointF> pressPosition_;
    bool dragging_ = false;
    // The offset when the drag began: each move places the picture at this plus the whole
    // translation, so it follows the pointer one to one and comes back when the pointer does.
    std::optional<QPointF> dragBase_;
    bool dropHighlighted_ = false;
    bool keyboardFocus_ = false;
    CutoutBrush brush_;
    QProgressBar* busy_;
    QTimer busyDelay_;
};

} // namespace cropling
