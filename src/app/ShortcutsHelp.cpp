#include "ShortcutsHelp.h"

#include "app/WindowActions.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>

#include <utility>
#include <vector>

namespace cropling {

namespace {

// The texts' translation context.
struct ShortcutsHelp {
    Q_DECLARE_TR_FUNCTIONS(ShortcutsHelp)
};

QString row(const QString& what, const QString& keys) {
    return QStringLiteral("<tr><td>%1</td><td style=\"padding-left:16px\"><b>%2</b></td></tr>")
        .arg(what.toHtmlEscaped(), keys.toHtmlEscaped());
}

// An action's own name, without the mnemonic marks and the dots of a command that asks more.
QString nameOf(const QAction* action) {
    QString name = action->text();
    name.remove(u'&');
    if (name.endsWith(u'…'))
        name.chop(1);
    return name;
}

QString keysOf(const QAction* action) {
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts())
        keys << key.toString(QKeySequence::NativeText);
    return keys.join(QStringLiteral(", "));
}

} // namespace

QString shortcutsHelpText(const WindowActions& actions) {
    QString text = QStringLiteral("<table>");
    std::vector<const QAction*> listed = {actions.choosePhoto, actions.paste, actions.save, actions.copy,
                                          actions.undo, actions.redo};
    for (const auto& group : actions.tools()) {
        for (const Tool& tool : group)
            listed.push_back(tool.action);
    }
    listed.insert(listed.end(), {actions.newWindow, actions.closeWindow, actions.quit});
    for (const QAction* action : listed) {
        if (!action->shortcuts().isEmpty())
            text += row(nameOf(action), keysOf(action));
    }
    const auto key = [](QKeySequence::StandardKey standard) { return QKeySequence(standard).toString(QKeySequence::NativeText); };
    const std::vector<std::pair<QString, QString>> square = {
        {ShortcutsHelp::tr("Move the picture"), ShortcutsHelp::tr("Drag in the square")},
        {ShortcutsHelp::tr("Move it by a pixel (ten with Shift)"), ShortcutsHelp::tr("Arrow keys, with the square focused")},
        {ShortcutsHelp::tr("Zoom toward the pointer"), ShortcutsHelp::tr("Mouse wheel, or pinch on a touchpad")},
        {ShortcutsHelp::tr("Zoom about the centre"), key(QKeySequence::ZoomIn) + QStringLiteral(", ") + key(QKeySequence::ZoomOut)},
        {ShortcutsHelp::tr("Reset the framing"), QKeySequence(Qt::CTRL | Qt::Key_0).toString(QKeySequence::NativeText) +
                                      QStringLiteral(", ") + ShortcutsHelp::tr("double-click")},
        {ShortcutsHelp::tr("Open a picture"), ShortcutsHelp::tr("Drop a file on the square, or click the empty square")},
        {ShortcutsHelp::tr("Put the emoji into another program"), ShortcutsHelp::tr("Drag it out of the preview")},
    };
    text += QStringLiteral("<tr><td colspan=\"2\">&nbsp;</td></tr>");
    for (const auto& [what, how] : square)
        text += row(what, how);
    return text + QStringLiteral("</table>");
}

} // namespace cropling
