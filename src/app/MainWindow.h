#pragma once

#include <QMainWindow>
#include <QPointer>

class QFileDialog;

namespace cropling {

class EmojiEditor;
class WindowActions;

// One window with its own fresh editor: the editor column and the preview column side by side,
// the file chooser, and the scripted run once the window is first shown. Its size follows its
// content and cannot be changed beyond it; it grows when the zoom row appears.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    EmojiEditor* editor() const { return editor_; }
    WindowActions* actions() const { return actions_; }

public Q_SLOTS:
    // Opens the window-modal chooser; the editor keeps its state until a file is chosen.
    void choosePhoto();

Q_SIGNALS:
    void newWindowRequested();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runScripted();
    void fitToContent();

    EmojiEditor* editor_;
    WindowActions* actions_;
    QPointer<QFileDialog> chooser_;
    QWidget* content_;
    bool shown_ = false;
};

} // namespace cropling
