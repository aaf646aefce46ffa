#pragma once

// What a video clip adds under the square: its timeline, the span's times and length, and the
// speed it plays at. Shown only while a clip is open.

#include <QWidget>

class QComboBox;
class QLabel;

namespace cropling {

class ClipTimeline;
class EmojiEditor;

class ClipControls : public QWidget {
    Q_OBJECT
public:
    explicit ClipControls(EmojiEditor* editor, QWidget* parent = nullptr);

private:
    void showClip();

    EmojiEditor* editor_;
    ClipTimeline* timeline_;
    QLabel* spanText_;
    QComboBox* speed_;
};

} // namespace cropling
