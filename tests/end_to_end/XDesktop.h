// Questions and requests to the X server and its window manager, kept out
// of the test sources because Xlib's macros clash with Qt's names.
#pragma once

#include <QStringList>
#include <QWindow>

namespace tonefield::testing {

// Asks the window manager to add a _NET_WM_STATE_... state to a window, as
// a pager or one of its key bindings does.
void RequestWindowState(WId window, const char* state);
// The names in the window's _NET_WM_ALLOWED_ACTIONS.
QStringList AllowedActions(WId window);
// Switches the keyboard to another of its layouts (XKB group), as a
// layout-switch key does.
void LockKeyboardGroup(int group);

}  // namespace tonefield::testing
