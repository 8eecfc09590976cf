// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

// The local wall clock, behind a seam so that tests can set the time.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const;

    // The program-wide clock: the system's, unless a test has put its own in place.
    static Clock &current();
    // Puts a clock in place of the system's; nullptr restores it. The caller keeps ownership.
    static void replace(Clock *clock);
};
