#pragma once

// The commands of one window. Each keyboard shortcut has exactly one owner here; buttons trigger
// these actions, and every action is enabled from the editor state.

#include "core/Effects.h"
#include "widgets/editor/ToolRow.h"

#include <QObject>

#include <vector>

class QAction;
class QMenu;
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
    QAction* rotateLeft;
    QAction* rotateRight;
    QAction* flip;
    QAction* removeBackground;
    // Brushes of marks on a removed background, one of them or neither on at a time.
    QAction* markKeep;
    QAction* markRemove;
    // The reaction effects: a menu of them, their speeds and the caption, on the tool row too.
    QAction* effects;
    QAction* caption;
    QAction* about;
    QAction* shortcuts;

    void populate(QMenuBar* menuBar) const;
    // What Save says for a still and for an animation.
    static QStringList saveTexts();
    // The editing tools in their groups, with their symbols: the tool row, the Tools menu and the
    // shortcuts' help list them alike.
    std::vector<std::vector<Tool>> tools() const;

private:
    void pasteFromClipboard();
    void enableFromEditor();
    void makeEffectMenu(QWidget* window);
    template <typename T>
    void addChoices(QMenu* menu, const std::vector<std::pair<T, QString>>& named, std::vector<std::pair<QAction*, T>>* choices,
                    void (*set)(EffectSettings&, T));
    void showEffect();
    std::vector<std::pair<QAction*, Effect>> effectChoices_;
    std::vector<std::pair<QAction*, EffectSpeed>> speedChoices_;
    QAction* captionAtTop_ = nullptr;
    EmojiEditor* editor_;
    ClipboardReader* clipboardReader_ = nullptr;
};

} // namespace cropling
