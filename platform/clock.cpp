// SPDX-License-Identifier: MIT
#include "platform/clock.h"

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

Clock &Clock::fallback()
{
    static Clock systemClock;
    return systemClock;
}
