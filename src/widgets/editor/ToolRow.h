#pragma once

// The editing tools under the square as a row of symbol buttons: each triggers its window
// action, is enabled with it, and names it with its shortcut for the tooltip and screen readers.
// The row is as wide as the square whatever the language, as symbols carry no text.

#include <QString>
#include <QWidget>

#include <vector>

class QAction;

namespace cropling {

struct Tool {
    QAction* action;
    QString symbol; // an SVG resource
};

class ToolRow : public QWidget {
    Q_OBJECT
public:
    // Groups of tools, set apart from each other.
    ToolRow(const std::vector<std::vector<Tool>>& groups, QWidget* parent = nullptr);

    // "Fit (Ctrl+9)": the action's name and its first shortcut, as the button names it.
    static QString nameWithKeys(const QAction* action);
};

} // namespace cropling
