#pragma once

// Every keyboard shortcut and gesture of a window in one place: Help › Keyboard Shortcuts. The
// menu commands' keys are read from the actions themselves, so the list cannot drift from them.

#include <QString>

namespace cropling {

class WindowActions;

// The list as rich text: the window's commands with their keys, then what the square and the
// preview take from the mouse and the keyboard.
QString shortcutsHelpText(const WindowActions& actions);

} // namespace cropling
