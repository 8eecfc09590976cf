// SPDX-License-Identifier: MIT
#pragma once

#include <QWindow>

// The few EWMH conversations with the window manager that Qt has no API for. Every function does
// nothing where the application does not run on X11 (offscreen tests, a pure Wayland session).
namespace x11 {

// Writes _NET_WM_STATE on a window that is not mapped yet, so that the window manager finds the
// states there when it manages the window. Window managers delete the property on withdrawal,
// so this is needed before every show.
void setStatesBeforeMap(WId window, bool above, bool skipTaskbar);

// Asks the window manager to add or remove _NET_WM_STATE_ABOVE on a mapped window.
void requestAbove(WId window, bool above);

// Writes the workspace the user is on now as _NET_WM_DESKTOP of a window that is not mapped yet.
void setDesktopBeforeMap(WId window);

// Asks the window manager to move a mapped window to the workspace the user is on now, unless it
// is there or on all workspaces already.
void requestCurrentDesktop(WId window);

// Asks the window manager to restore a minimised window without activating it. Does nothing to a
// window that is not minimised.
void requestRestoreWithoutActivating(WId window);

// Resets the X server's idle time as input would: the screen saver and the power saving of the
// display end, and desktops that blank or lock on idleness light the screen again.
void resetIdleTime();

} // namespace x11
