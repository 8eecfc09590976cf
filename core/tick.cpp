// SPDX-License-Identifier: MIT
#include "core/tick.h"

#include "core/alarm.h"
#include "core/texts.h"

#include <utility>

namespace {
// Far enough past the boundary that a timer firing a little early or a slewing clock still
// reads the new second.
constexpr int msPastBoundary = 5;
} // namespace

TickDecision decideTick(Alarm &alarm, const QDateTime &now, bool ringing)
{
    TickDecision decision;
    // As toString("hh:mm:ss") writes it, without parsing the pattern at every tick.
    const QTime time = now.time();
    decision.clockText = QStringLiteral("00:00:00");
    QChar *digits = decision.clockText.data();
    for (const auto &[at, value] :
         {std::pair{0, time.hour()}, {3, time.minute()}, {6, time.second()}}) {
        digits[at] = QChar(u'0' + value / 10);
        digits[at + 1] = QChar(u'0' + value % 10);
    }
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
