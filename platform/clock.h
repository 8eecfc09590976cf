// SPDX-License-Identifier: MIT
#pragma once

#include "platform/seam.h"

#include <QDateTime>

// The local wall clock, behind a seam so that tests can set the time. This one is the system's,
// which is also what current() gives before any clock is installed.
class Clock : public Seam<Clock>
{
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const;

private:
    friend Seam<Clock>;
    static Clock &fallback();
};
