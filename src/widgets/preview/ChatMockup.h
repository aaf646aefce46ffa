#pragma once

// Two sample chat messages from "you" showing the emoji inline at 22 pixels and alone at 32, in the
// chat service's light or dark look.

#include <QColor>
#include <QWidget>

class QLabel;

namespace cropling {

class EmojiEditor;
class EmojiSquare;
class MessageRow;

class ChatMockup : public QWidget {
    Q_OBJECT
public:
    explicit ChatMockup(EmojiEditor* editor, QWidget* parent = nullptr);

    static constexpr int kWidth = 380;
    static constexpr double kRadius = 10.0;
    static QColor background(bool dark);
    static QColor textColour(bool dark);

    bool isDark() const { return dark_; }
    void setDark(bool dark);

Q_SIGNALS:
    void darkChanged(bool dark);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColours();

    MessageRow* first_;
    MessageRow* second_;
    QList<QLabel*> words_;
    EmojiSquare* inlineEmoji_;
    bool dark_ = false;
};

} // namespace cropling
