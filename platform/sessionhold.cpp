// SPDX-License-Identifier: MIT
#include "platform/sessionhold.h"

#include "platform/desktopsessionhold.h"

namespace {
SessionHold *replacement = nullptr;
} // namespace

SessionHold &SessionHold::current()
{
    if (replacement)
        return *replacement;
    // Made on first use, when the application object exists; it says nothing on the bus until an
    // alarm is armed.
    static DesktopSessionHold desktop;
    return desktop;
}

void SessionHold::replace(SessionHold *hold)
{
    replacement = hold;
}
