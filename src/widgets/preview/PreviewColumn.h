#pragma once

// The right column: the preview header with the Light/Dark switch, the chat mockup, the name row,
// the export buttons, the status line and the note on the export size.

#include <QWidget>

class QAction;
class QLabel;
class QPushButton;

namespace cropling {

class ChatMockup;
class EmojiEditor;
class StatusLine;

class PreviewColumn : public QWidget {
    Q_OBJECT
public:
    // The export buttons mirror the window's save and copy actions.
    // `saveTexts` are every text the save action shows (for a PNG, for a GIF): its button is as
    // wide as the widest, so the window keeps its width whatever is open.
    PreviewColumn(EmojiEditor* editor, QAction* save, const QStringList& saveTexts, QAction* copy,
                  QWidget* parent = nullptr);

    static QString note();
    static QString animationNote(long long maxBytes, int maxFrames);
    ChatMockup* mockup() const { return mockup_; }

private:
    void showStatus();

    EmojiEditor* editor_;
    ChatMockup* mockup_;
    StatusLine* status_;
};

} // namespace cropling
