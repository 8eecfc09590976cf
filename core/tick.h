// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

class Alarm;

// What one clock tick must do.
struct TickDecision
{
    enum class Effect {
        ClockOnly, // nothing is armed
        MainTitle, // armed, not yet due: the main window's title is put back
        Ring,
    };

    QString clockText; // the local time, "hh:mm:ss"
    Effect effect = Effect::ClockOnly;
};

// Once the alarm rings it rings at every tick until it is stopped, whatever the clock reads: a
// clock stepped back (by hand, or NTP correcting a fast clock) or a new time zone must not silence
// it. A waiting alarm follows the clock into a new time zone.
TickDecision decideTick(Alarm &alarm, const QDateTime &now, bool ringing);

// What a click on the set-alarm window's button must do. Stopping never asks about the time field.
enum class ClickDecision { Stop, Warn, Arm };

ClickDecision decideClick(const QString &buttonCaption, const QString &typedTime);

// How long until the next tick: just after the wall clock's next second begins, so that every
// displayed second comes once and rings come on time, however late this tick was.
int msUntilNextTick(const QDateTime &now);
