#pragma once

// The right column: the preview header with the Light/Dark switch, the chat mockup, the name row,
// the export buttons, the status line and the note on the export size.

#include <QWidget>

class QLabel;
class QPushButton;

namespace cropling {

class ContentView;
class WindowActions;

class PreviewColumn : public QWidget {
    Q_OBJECT
public:
    PreviewColumn(ContentView* editor, const WindowActions* actions, QWidget* parent = nullptr);

    static const QString& note();

private:
    void syncFromEditor();

    ContentView* editor_;
    QPushButton* light_;
    QPushButton* dark_;
    QLabel* status_;
};

} // namespace cropling
