// SPDX-License-Identifier: MIT
#include "core/alarm.h"

#include <QList>
#include <QTimeZone>
#include <algorithm>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The moments of the given date at which the zone's clock reads the time, earliest first: one on
// most days, two when the clock is turned back over it, and the end of the gap when the clock
// skips it.
QList<QDateTime> momentsReading(const QTimeZone &zone, QDate date, QTime time)
{
    // A local time can only ever carry the offsets in force at either end of its day.
    const qint64 naive = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    const int offsetBefore = zone.offsetFromUtc(QDateTime(date, QTime(0, 0), zone));
    const int offsetAfter = zone.offsetFromUtc(QDateTime(date.addDays(1), QTime(0, 0), zone));
    QList<QDateTime> moments;
    for (const int offset : {offsetBefore, offsetAfter}) {
        const QDateTime moment = QDateTime::fromSecsSinceEpoch(naive - offset, zone);
        if (zone.offsetFromUtc(moment) == offset && !moments.contains(moment))
            moments.append(moment);
    }
    std::sort(moments.begin(), moments.end());
    if (moments.isEmpty()) {
        const QDateTime startOfDay(date, QTime(0, 0), zone);
        moments.append(zone.nextTransition(startOfDay.addSecs(-1)).atUtc.toTimeZone(zone));
    }
    return moments;
}

} // namespace

void Alarm::arm(const QString &time, const QString &message, const QDateTime &now)
{
    m_tid = time;
    m_meddelande = message;
    m_due = nextOccurrence(QTime::fromString(time, QStringLiteral("hh:mm")), now);
}

void Alarm::disarm()
{
    m_tid.clear();
    m_meddelande.clear();
    m_due = QDateTime();
}

bool Alarm::isValidTime(const QString &text)
{
    if (text.size() != 5 || text.at(2) != u':')
        return false;
    for (const int i : {0, 1, 3, 4}) {
        if (!isAsciiDigit(text.at(i)))
            return false;
    }
    const int hour = text.left(2).toInt();
    const int minute = text.mid(3, 2).toInt();
    return hour <= 23 && minute <= 59;
}

QDateTime Alarm::nextOccurrence(QTime time, const QDateTime &now)
{
    const QTimeZone zone = now.timeZone();
    const QDateTime local = now.toTimeZone(zone);
    for (int day = 0; day <= 2; ++day) {
        for (const QDateTime &moment : momentsReading(zone, local.date().addDays(day), time)) {
            if (moment >= now)
                return moment;
        }
    }
    return QDateTime(); // unreachable: some day after today always reads the time
}

Alarm &alarm()
{
    static Alarm instance;
    return instance;
}
