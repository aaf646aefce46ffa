#include "ToolRow.h"

#include "core/CropGeometry.h"
#include "widgets/SymbolButton.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>

namespace cropling {

ToolRow::ToolRow(const std::vector<std::vector<Tool>>& groups, QWidget* parent) : QWidget(parent) {
    setFixedWidth(int(kCropSide));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QSize symbolSize(16, 16);
    for (const std::vector<Tool>& group : groups) {
        if (&group != &groups.front())
            layout->addSpacing(14);
        for (const Tool& tool : group) {
            auto* button = new SymbolButton(tool.symbol, symbolSize, nameWithKeys(tool.action), this);
            if (!tool.action->toolTip().isEmpty() && tool.action->toolTip() != tool.action->text())
                button->setAccessibleDescription(tool.action->toolTip());
            button->setEnabled(tool.action->isEnabled());
            // A tool with choices opens them.
            if (QMenu* choices = tool.action->menu()) {
                button->setMenu(choices);
                button->setPopupMode(QToolButton::InstantPopup);
            } else {
                connect(button, &QToolButton::clicked, tool.action, &QAction::trigger);
            }
            // A tool that stays on (a brush) shows so, whichever way it was turned on.
            if (tool.action->isCheckable()) {
                button->setCheckable(true);
                button->setChecked(tool.action->isChecked());
                connect(tool.action, &QAction::toggled, button, &QAbstractButton::setChecked);
            }
            connect(tool.action, &QAction::changed, button, [button, action = tool.action] { button->setEnabled(action->isEnabled()); });
            layout->addWidget(button);
        }
    }
    layout->addStretch(1);
}

QString ToolRow::nameWithKeys(const QAction* action) {
    QString name = action->text();
    name.remove(u'&');
    if (action->shortcut().isEmpty())
        return name;
    return name + QStringLiteral(" (") + action->shortcut().toString(QKeySequence::NativeText) + u')';
}

} // namespace cropling
