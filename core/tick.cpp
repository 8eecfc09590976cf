// SPDX-License-Identifier: MIT
#include "core/tick.h"

#include "core/alarm.h"
#include "core/texts.h"

namespace {
// Far enough past the boundary that a timer firing a little early or a slewing clock still
// reads the new second.
constexpr int msPastBoundary = 5;
} // namespace

TickDecision decideTick(Alarm &alarm, const QDateTime &now, bool ringing)
{
    TickDecision decision;
    decision.clockText = now.toString(QStringLiteral("hh:mm:ss"));
    if (!alarm.isArmed()) {
        decision.effect = TickDecision::Effect::ClockOnly;
    } else if (ringing) {
        decision.effect = TickDecision::Effect::Ring;
    } else {
        alarm.followZone(now);
        decision.effect =
            alarm.isDue(now) ? TickDecision::Effect::Ring : TickDecision::Effect::MainTitle;
    }
    return decision;
}

ClickDecision decideClick(const QString &buttonCaption, const QString &typedTime)
{
    if (buttonCaption == texts::stopCaption)
        return ClickDecision::Stop;
    return Alarm::isValidTime(typedTime) ? ClickDecision::Arm : ClickDecision::Warn;
}

int msUntilNextTick(const QDateTime &now)
{
    return 1000 - now.time().msec() + msPastBoundary;
}
