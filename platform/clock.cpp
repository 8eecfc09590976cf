// SPDX-License-Identifier: MIT
#include "platform/clock.h"

namespace {
Clock systemClock;
Clock *replacement = nullptr;
} // namespace

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

Clock &Clock::current()
{
    return replacement ? *replacement : systemClock;
}

void Clock::replace(Clock *clock)
{
    replacement = clock;
}
