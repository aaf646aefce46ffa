#pragma once

// A clip's timeline under the square: thumbnails across the whole clip, the span taken from it
// framed between two handles, the rest dimmed. Drag a handle to move that end, the span to move it
// whole, or click beside it to bring the nearer end there. With the keyboard, the arrows move the
// span (Shift: by a second) and Ctrl with the arrows moves its end. Every drag is one undoable step.

#include <QWidget>

namespace cropling {

class EmojiEditor;

class ClipTimeline : public QWidget {
    Q_OBJECT
public:
    explicit ClipTimeline(EmojiEditor* editor, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum class Grip { None, Start, End, Whole };
    double xOf(qint64 ms) const;
    qint64 msAt(double x) const;
    Grip gripAt(double x) const;
    void describe();
    void endDrag();

    EmojiEditor* editor_;
    Grip dragging_ = Grip::None;
    qint64 grabbedMs_ = 0;   // where in the clip the drag began
    qint64 grabbedStart_ = 0;
    qint64 grabbedEnd_ = 0;
};

} // namespace cropling
