// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

class Form1;
class Form2;

// The close guard: while it is nonzero, closing the set-alarm window only hides it.
inline qint16 hindraStangning = 0;

// The single set-alarm window, created hidden on first touch.
Form2 &form2();
bool form2Exists();
// Raises the set-alarm window's close request and destroys it unless the request was cancelled.
// Does nothing, and creates nothing, if the window never existed.
void unloadForm2();

// The single main window, while it exists.
Form1 *form1();
void setForm1(Form1 *window);
