// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

// The armed alarm: the time and message as the user typed them, and the moment the alarm comes
// due. Whether it rings is not kept here: the set-alarm window's button shows that.
class Alarm
{
public:
    const QString &alarmTid() const { return m_tid; }
    const QString &alarmMeddelande() const { return m_meddelande; }
    QDateTime due() const { return m_due; }

    bool isArmed() const { return !m_tid.isEmpty(); }
    // Due whenever the clock reads the moment or later: a clock stepped back before it waits for
    // it again. Once ringing, the tick no longer asks.
    bool isDue(const QDateTime &now) const { return isArmed() && now >= m_due; }

    // Arms a time accepted by isValidTime(); the alarm comes due the next time the local clock
    // reads that time, today if that is still ahead, otherwise tomorrow.
    void arm(const QString &time, const QString &message, const QDateTime &now);
    void disarm();

    // Keeps a waiting alarm on the armed time of the clock that now is read on. When the clock's
    // time zone has changed, so that it would read another time at the due moment, the alarm
    // comes due the next time the clock reads the armed time, or at once if the change moved the
    // clock forward past it.
    void followZone(const QDateTime &now);

    // A 24-hour time written hh:mm in ASCII digits, with nothing around it.
    static bool isValidTime(const QString &text);

    // The first moment at or after now at which the clock that now is read on reads the time. A
    // time skipped by a daylight-saving gap comes at the end of the gap; a time that occurs twice
    // comes at its first occurrence.
    static QDateTime nextOccurrence(QTime time, const QDateTime &now);

private:
    void aim(const QDateTime &now);

    QString m_tid;
    QString m_meddelande;
    QDateTime m_due;
    int m_dueOffset = 0;  // the clock's offset from UTC at the due moment, when it was aimed
    qint64 m_awaited = 0; // the date and time the clock should read then, as seconds of a UTC clock
};

// The program-wide alarm; quitting forgets it.
Alarm &alarm();
