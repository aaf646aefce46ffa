#pragma once

// The commands of one window. Each keyboard shortcut has exactly one owner here; buttons trigger
// these actions, and every action is enabled from the editor state.

#include <QObject>

class QAction;
class QMenuBar;
class QWidget;

namespace cropling {

class ClipboardReader;
class EmojiEditor;

class WindowActions : public QObject {
    Q_OBJECT
public:
    WindowActions(EmojiEditor* editor, QWidget* window);

    QAction* newWindow;
    QAction* choosePhoto;
    QAction* save;
    QAction* closeWindow;
    QAction* quit;
    QAction* copy;
    QAction* paste;
    QAction* undo;
    QAction* redo;
    QAction* fit;
    QAction* autoFrame;
    QAction* about;
    QAction* shortcuts;

    void populate(QMenuBar* menuBar) const;

private:
    void pasteFromClipboard();
    void enableFromEditor();
    EmojiEditor* editor_;
    ClipboardReader* clipboardReader_ = nullptr;
};

} // namespace cropling
