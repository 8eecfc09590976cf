// SPDX-License-Identifier: MIT
#pragma once

#include "platform/seam.h"

#include <QString>

// What an alarm needs of the desktop session on a PC left alone: the session must not suspend the
// PC for idleness while the alarm waits, or it rings only when someone wakes the PC; and the ring
// must light a screen that idleness darkened. Holds nothing until the desktop session's is
// installed.
class SessionHold : public Seam<SessionHold>
{
public:
    virtual ~SessionHold() = default;

    // Keeps the session from suspending the PC for idleness, for the reason given, shown beside
    // the program's name; replaces a hold already in place. window is the X id of the window the
    // hold is for, 0 for none. Blanking and locking the screen are left as the user set them.
    virtual void hold(const QString &reason, quint32 window) = 0;
    // Lets the session suspend the PC again; does nothing when nothing is held.
    virtual void release() = 0;
    // Lights the screen as a touch of the mouse would.
    virtual void wakeScreen() = 0;

private:
    friend Seam<SessionHold>;
    static SessionHold &fallback();
};
