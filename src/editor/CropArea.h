#pragma once

// The 340-point square where the picture is framed: checkerboard, picture and thirds grid inside
// rounded corners, the empty-state placeholder, dragging to pan, a click to choose a file while
// empty, and file drops.

#include <QPointF>
#include <QWidget>

class QLabel;

namespace cropling {

class ContentView;

class CropArea : public QWidget {
    Q_OBJECT
public:
    explicit CropArea(ContentView* editor, QWidget* parent = nullptr);

    static constexpr double kDragThreshold = 10.0;
    static constexpr double kCornerRadius = 8.0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void syncFromEditor();

    ContentView* editor_;
    QWidget* placeholder_;
    std::optional<QPointF> pressPosition_;
    bool dragging_ = false;
};

} // namespace cropling
