// SPDX-License-Identifier: MIT
#include "core/alarm.h"

#include <QList>
#include <algorithm>

namespace {

constexpr qint64 secsPerDay = 24 * 60 * 60;

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The moment, as the clock that now is read on shows it. Going through now keeps its zone: for
// the real clock that is the machine's local time, whose rules the C library loads again when the
// zone changes, where Qt's own record of the system zone may keep the old ones.
QDateTime onClockOf(const QDateTime &now, qint64 secsSinceEpoch)
{
    return now.addMSecs(secsSinceEpoch * 1000 - now.toMSecsSinceEpoch());
}

int offsetAt(const QDateTime &now, qint64 secsSinceEpoch)
{
    return onClockOf(now, secsSinceEpoch).offsetFromUtc();
}

// What a clock reads, as the seconds a UTC clock counts when it reads the same.
qint64 readingOf(const QDateTime &moment)
{
    return moment.toSecsSinceEpoch() + moment.offsetFromUtc();
}

// The moments of the given date at which the clock reads the time, earliest first: one on most
// days, two when the clock is turned back over it, and the end of the gap when the clock skips it.
QList<QDateTime> momentsReading(const QDateTime &now, QDate date, QTime time)
{
    const qint64 reading = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // A reading can only ever carry the offsets in force a day before and a day after it.
    const int offsetBefore = offsetAt(now, reading - secsPerDay);
    const int offsetAfter = offsetAt(now, reading + secsPerDay);
    QList<QDateTime> moments;
    for (const int offset : {offsetBefore, offsetAfter}) {
        const QDateTime moment = onClockOf(now, reading - offset);
        if (moment.offsetFromUtc() == offset && !moments.contains(moment))
            moments.append(moment);
    }
    std::sort(moments.begin(), moments.end());
    if (moments.isEmpty()) {
        // Skipped: the clock jumps over the time at the moment the later offset begins, between
        // the moments at which the earlier and the later offset would have read it.
        qint64 before = reading - offsetAfter;
        qint64 after = reading - offsetBefore;
        while (after - before > 1) {
            const qint64 middle = before + (after - before) / 2;
            (offsetAt(now, middle) == offsetBefore ? before : after) = middle;
        }
        moments.append(onClockOf(now, after));
    }
    return moments;
}

} // namespace

void Alarm::arm(const QString &time, const QString &message, const QDateTime &now)
{
    m_tid = time;
    m_meddelande = message;
    aim(now);
}

void Alarm::aim(const QDateTime &now)
{
    const QTime time = QTime::fromString(m_tid, QStringLiteral("hh:mm"));
    m_due = nextOccurrence(time, now);
    m_dueOffset = m_due.offsetFromUtc();
    m_awaited = QDateTime(m_due.date(), time, Qt::UTC).toSecsSinceEpoch();
}

void Alarm::followZone(const QDateTime &now)
{
    if (!isArmed() || offsetAt(now, m_due.toSecsSinceEpoch()) == m_dueOffset)
        return;
    if (readingOf(now) >= m_awaited) {
        m_due = now;
        m_dueOffset = now.offsetFromUtc();
    } else {
        aim(now);
    }
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
    for (int day = 0; day <= 2; ++day) {
        for (const QDateTime &moment : momentsReading(now, now.date().addDays(day), time)) {
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
