#pragma once

// One emoji position of the chat preview: the live framed picture clipped to a rounded square of
// radius side x 0.12, or, without a picture, a faint placeholder square.

#include <QColor>
#include <QWidget>

#include <optional>

namespace cropling {

class EmojiEditor;

class EmojiSquare : public QWidget {
    Q_OBJECT
public:
    EmojiSquare(EmojiEditor* editor, double side, QWidget* parent = nullptr);

    // The foreground whose faintest level fills the placeholder; invalid means the window's own.
    void setForeground(const QColor& foreground);
    double cornerRadius() const { return side_ * 0.12; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The emoji can be dragged out onto a file manager or a chat window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    EmojiEditor* editor_;
    double side_;
    QColor foreground_;
    std::optional<QPoint> pressPosition_;
};

} // namespace cropling
