#pragma once

#include <QMainWindow>

namespace cropling {

class ContentView;
class WindowActions;

// One window with its own fresh editor. Its size follows its content and cannot be changed
// beyond it; it grows when the zoom row appears.
class CroplingWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CroplingWindow(QWidget* parent = nullptr);

    ContentView* editor() const { return editor_; }
    WindowActions* actions() const { return actions_; }

Q_SIGNALS:
    void newWindowRequested();

private:
    void runAutomation();

    ContentView* editor_;
    WindowActions* actions_;
};

} // namespace cropling
