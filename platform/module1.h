// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// What the windows need from the windowing system beyond what Qt offers directly. The only place
// that sets window flags or talks to the window manager about a window's state.

enum class TitleBarButtons { Close, CloseAndMinimise };
enum class TaskbarEntry { Shown, Hidden };

// Fixes the title-bar buttons and the taskbar entry of a top-level window before it is first shown.
void setWindowKind(QWidget *window, TitleBarButtons buttons, TaskbarEntry taskbar);

// Shows a window modeless, brings it to the front and activates it.
void showWindow(QWidget *window);

// Shows or hides a window without destroying it; showing it does not bring it to the front.
void setWindowVisible(QWidget *window, bool visible);

// The boolean that SattOverst takes: any nonzero value means on.
inline constexpr qint16 sattOverstPa = -1;
inline constexpr qint16 sattOverstAv = 0;

// Puts the window into the band kept above all others (on nonzero) or takes it out, and shows it
// if it was hidden: without activating, moving or resizing it. Putting it in also brings it to
// the workspace the user is on and restores it if it was minimised. An unknown handle does nothing.
void SattOverst(WId hwnd, qint16 on);

// On a Wayland desktop a client cannot keep itself above others or off the taskbar, so unless the
// user chose a platform we run through XWayland. Call before the application object exists.
void preferX11();
