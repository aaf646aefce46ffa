#pragma once

// The window's content: the editor column and the preview column side by side, top-aligned,
// 24 points apart with a 24-point margin; the file chooser; and the first-show hook.

#include <QWidget>

class QFileDialog;

namespace cropling {

class ContentView;
class WindowActions;

class WindowContent : public QWidget {
    Q_OBJECT
public:
    WindowContent(ContentView* editor, const WindowActions* actions, QWidget* parent = nullptr);

    // The picture types offered by the chooser.
    static QStringList imageMimeTypes();

Q_SIGNALS:
    // Emitted once, from the event loop, after the content was first shown.
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void syncFromEditor();

    ContentView* editor_;
    QFileDialog* chooser_ = nullptr;
    bool shown_ = false;
};

} // namespace cropling
