// SPDX-License-Identifier: MIT
#include "core/alarm.h"
#include "core/texts.h"
#include "core/tick.h"

#include <QTest>
#include <QTimeZone>

namespace {

const QTimeZone stockholm("Europe/Stockholm");

// A wall-clock reading in Stockholm.
QDateTime at(const char *localTime)
{
    const QDateTime reading =
        QDateTime::fromString(QString::fromLatin1(localTime), Qt::ISODateWithMs);
    return QDateTime(reading.date(), reading.time(), stockholm);
}

QDateTime in(const char *zone, const char *localTime)
{
    const QDateTime reading = at(localTime);
    return QDateTime(reading.date(), reading.time(), QTimeZone(zone));
}

QDateTime utc(const char *moment)
{
    return QDateTime::fromString(QString::fromLatin1(moment), Qt::ISODate);
}

} // namespace

class TestAlarm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shouldAcceptOnlyTwentyFourHourTimes_data();
    void shouldAcceptOnlyTwentyFourHourTimes();

    void shouldComeDueNextTimeTheClockReadsTheTime_data();
    void shouldComeDueNextTimeTheClockReadsTheTime();
    void shouldComeDueWhenTheClockOfANewZoneReadsTheTime_data();
    void shouldComeDueWhenTheClockOfANewZoneReadsTheTime();

    void shouldRingFromDueMomentUntilStoppedWhateverTheClockDoes();
    void shouldReplaceWaitingAlarmWhenArmedAgain();
    void shouldForgetEverythingWhenDisarmed();

    void shouldDecideWhatEachTickDoes_data();
    void shouldDecideWhatEachTickDoes();
    void shouldDecideWhatEachClickDoes_data();
    void shouldDecideWhatEachClickDoes();
    void shouldAimNextTickJustPastNextSecond_data();
    void shouldAimNextTickJustPastNextSecond();
};

void TestAlarm::shouldAcceptOnlyTwentyFourHourTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("morning") << "07:30" << true;
    QTest::newRow("first minute") << "00:00" << true;
    QTest::newRow("last minute") << "23:59" << true;
    QTest::newRow("noon") << "12:00" << true;

    QTest::newRow("empty") << "" << false;
    QTest::newRow("placeholder") << "hh:mm" << false;
    QTest::newRow("no leading zero") << "7:30" << false;
    QTest::newRow("short minute") << "07:3" << false;
    QTest::newRow("hour 24") << "24:00" << false;
    QTest::newRow("minute 60") << "23:60" << false;
    QTest::newRow("hour 25") << "25:00" << false;
    QTest::newRow("letters") << "ab" << false;
    QTest::newRow("space before") << " 07:30" << false;
    QTest::newRow("space after") << "07:30 " << false;
    QTest::newRow("no colon") << "0730" << false;
    QTest::newRow("with seconds") << "07:30:00" << false;
    QTest::newRow("dot") << "07.30" << false;
    QTest::newRow("negative") << "-7:30" << false;
    QTest::newRow("plus sign") << "+7:30" << false;
    QTest::newRow("line break") << "07:30\n" << false;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("٠٧:٣٠") << false;
    QTest::newRow("fullwidth digits") << QString::fromUtf8("０７:３０") << false;
    QTest::newRow("fullwidth colon") << QString::fromUtf8("07：30") << false;
    QTest::newRow("100 000 characters") << QString(100000, u'7') << false;
    QTest::newRow("valid time then 100 000 characters")
        << QStringLiteral("07:30") + QString(100000, u'0') << false;
}

void TestAlarm::shouldAcceptOnlyTwentyFourHourTimes()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(Alarm::isValidTime(text), valid);
}

void TestAlarm::shouldComeDueNextTimeTheClockReadsTheTime_data()
{
    QTest::addColumn<QDateTime>("armedAt");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("due");

    QTest::newRow("later today") << at("2026-12-08T06:00:00") << "07:30"
                                 << at("2026-12-08T07:30:00");
    QTest::newRow("in the evening for the morning")
        << at("2026-12-08T22:00:00") << "07:30" << at("2026-12-09T07:30:00");
    QTest::newRow("the current minute, already begun")
        << at("2026-12-08T07:30:20") << "07:30" << at("2026-12-09T07:30:00");
    QTest::newRow("the next minute")
        << at("2026-12-08T07:29:59.900") << "07:30" << at("2026-12-08T07:30:00");
    QTest::newRow("at the very moment")
        << at("2026-12-08T07:30:00") << "07:30" << at("2026-12-08T07:30:00");
    QTest::newRow("midnight") << at("2026-12-08T23:59:59") << "00:00" << at("2026-12-09T00:00:00");
    QTest::newRow("across the year")
        << at("2026-12-31T23:00:00") << "00:30" << at("2027-01-01T00:30:00");

    // Stockholm turns its clocks from 02:00 to 03:00 on 29 March 2026.
    QTest::newRow("skipped by the spring gap: at its end")
        << at("2026-03-28T22:00:00") << "02:30" << utc("2026-03-29T01:00:00Z");
    QTest::newRow("just before the gap")
        << at("2026-03-28T22:00:00") << "01:59" << utc("2026-03-29T00:59:00Z");
    QTest::newRow("just after the gap")
        << at("2026-03-28T22:00:00") << "03:00" << utc("2026-03-29T01:00:00Z");
    QTest::newRow("the day after the gap")
        << at("2026-03-29T23:00:00") << "02:30" << utc("2026-03-30T00:30:00Z");
    // ... and back from 03:00 to 02:00 on 25 October 2026: 02:30 happens twice.
    QTest::newRow("twice in the autumn: the first")
        << at("2026-10-24T22:00:00") << "02:30" << utc("2026-10-25T00:30:00Z");
    QTest::newRow("twice in the autumn, armed between: the second")
        << utc("2026-10-25T00:45:00Z").toTimeZone(stockholm) << "02:30"
        << utc("2026-10-25T01:30:00Z");
    QTest::newRow("after the autumn overlap")
        << at("2026-10-24T22:00:00") << "03:30" << utc("2026-10-25T02:30:00Z");
}

void TestAlarm::shouldComeDueNextTimeTheClockReadsTheTime()
{
    QFETCH(QDateTime, armedAt);
    QFETCH(QString, time);
    QFETCH(QDateTime, due);

    Alarm alarm;
    alarm.arm(time, QStringLiteral("Vakna!"), armedAt);

    QCOMPARE(alarm.due().toUTC(), due.toUTC());
    QVERIFY(!alarm.isDue(due.addMSecs(-1)));
    QVERIFY(alarm.isDue(due));
    QCOMPARE(alarm.alarmTid(), time);
}

void TestAlarm::shouldComeDueWhenTheClockOfANewZoneReadsTheTime_data()
{
    QTest::addColumn<QDateTime>("armedAt");   // for 07:30
    QTest::addColumn<QDateTime>("changedAt"); // read on the new zone's clock
    QTest::addColumn<QDateTime>("due");

    QTest::newRow("west") << at("2026-12-08T06:00:00") << in("Europe/London", "2026-12-08T06:28:56")
                          << in("Europe/London", "2026-12-08T07:30:00");
    QTest::newRow("east") << in("Europe/London", "2026-12-08T06:00:00") << at("2026-12-08T07:29:55")
                          << at("2026-12-08T07:30:00");
    QTest::newRow("forward past the time: at once")
        << in("America/New_York", "2026-12-08T06:00:00") << at("2026-12-08T12:10:00")
        << at("2026-12-08T12:10:00");
    QTest::newRow("to a zone that turns its clock on before the morning")
        << in("America/New_York", "2026-03-28T20:00:00")
        << in("Europe/London", "2026-03-29T00:30:00") << utc("2026-03-29T06:30:00Z");
}

void TestAlarm::shouldComeDueWhenTheClockOfANewZoneReadsTheTime()
{
    QFETCH(QDateTime, armedAt);
    QFETCH(QDateTime, changedAt);
    QFETCH(QDateTime, due);

    Alarm alarm;
    alarm.arm(QStringLiteral("07:30"), QString(), armedAt);
    alarm.followZone(changedAt);
    QCOMPARE(alarm.due().toUTC(), due.toUTC());
}

void TestAlarm::shouldRingFromDueMomentUntilStoppedWhateverTheClockDoes()
{
    Alarm alarm;
    alarm.arm(QStringLiteral("23:59"), QStringLiteral("Sov inte!"), at("2026-12-08T23:00:00"));

    QVERIFY(!alarm.isDue(at("2026-12-08T23:58:59.999")));
    QVERIFY(alarm.isDue(at("2026-12-08T23:59:00")));
    // Past midnight it goes on ringing: the morning does not sort before the alarm.
    QVERIFY(alarm.isDue(at("2026-12-09T00:00:00")));
    QVERIFY(alarm.isDue(at("2026-12-09T07:30:00")));
    // A clock stepped forward over the moment (or a suspend) rings at the first tick after it.
    Alarm morning;
    morning.arm(QStringLiteral("07:30"), QString(), at("2026-12-08T07:00:00"));
    QVERIFY(morning.isDue(at("2026-12-08T09:12:00")));
    // A clock stepped back before the moment waits for it again.
    QVERIFY(!morning.isDue(at("2026-12-08T07:10:00")));
    QVERIFY(morning.isDue(at("2026-12-08T07:30:00")));
}

void TestAlarm::shouldReplaceWaitingAlarmWhenArmedAgain()
{
    Alarm alarm;
    alarm.arm(QStringLiteral("07:30"), QStringLiteral("första"), at("2026-12-08T06:00:00"));
    alarm.arm(QStringLiteral("08:15"), QStringLiteral("andra"), at("2026-12-08T06:01:00"));

    QCOMPARE(alarm.alarmTid(), QStringLiteral("08:15"));
    QCOMPARE(alarm.alarmMeddelande(), QStringLiteral("andra"));
    QVERIFY(!alarm.isDue(at("2026-12-08T07:30:00")));
    QVERIFY(alarm.isDue(at("2026-12-08T08:15:00")));
}

void TestAlarm::shouldForgetEverythingWhenDisarmed()
{
    Alarm alarm;
    alarm.arm(QStringLiteral("07:30"), QStringLiteral("Vakna!\nNu."), at("2026-12-08T06:00:00"));
    QVERIFY(alarm.isArmed());
    QCOMPARE(alarm.alarmMeddelande(), QStringLiteral("Vakna!\nNu."));

    alarm.disarm();

    QVERIFY(!alarm.isArmed());
    QVERIFY(alarm.alarmTid().isEmpty());
    QVERIFY(alarm.alarmMeddelande().isEmpty());
    QVERIFY(!alarm.isDue(at("2026-12-09T07:30:00")));
}

void TestAlarm::shouldDecideWhatEachTickDoes_data()
{
    QTest::addColumn<QString>("armed");
    QTest::addColumn<bool>("ringing");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<TickDecision::Effect>("effect");

    using Effect = TickDecision::Effect;
    QTest::newRow("idle") << "" << false << at("2026-12-08T07:05:09") << "07:05:09"
                          << Effect::ClockOnly;
    QTest::newRow("idle in the evening, 24-hour")
        << "" << false << at("2026-12-08T19:05:09.999") << "19:05:09" << Effect::ClockOnly;
    QTest::newRow("waiting, a second before")
        << "07:30" << false << at("2026-12-08T07:29:59.999") << "07:29:59" << Effect::MainTitle;
    QTest::newRow("due") << "07:30" << false << at("2026-12-08T07:30:00") << "07:30:00"
                         << Effect::Ring;
    QTest::newRow("still due after midnight")
        << "07:30" << false << at("2026-12-09T00:00:00") << "00:00:00" << Effect::Ring;
    QTest::newRow("ringing, clock stepped back before the moment")
        << "07:30" << true << at("2026-12-08T07:10:00") << "07:10:00" << Effect::Ring;
}

void TestAlarm::shouldDecideWhatEachTickDoes()
{
    QFETCH(QString, armed);
    QFETCH(bool, ringing);
    QFETCH(QDateTime, now);
    QFETCH(QString, clock);
    QFETCH(TickDecision::Effect, effect);

    Alarm alarm;
    if (!armed.isEmpty())
        alarm.arm(armed, QString(), at("2026-12-08T06:00:00"));
    const TickDecision decision = decideTick(alarm, now, ringing);

    QCOMPARE(decision.clockText, clock);
    QCOMPARE(decision.effect, effect);
}

void TestAlarm::shouldDecideWhatEachClickDoes_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<ClickDecision>("decision");

    QTest::newRow("arm") << texts::armCaption << "07:30" << ClickDecision::Arm;
    QTest::newRow("placeholder warns") << texts::armCaption << "hh:mm" << ClickDecision::Warn;
    QTest::newRow("empty warns") << texts::armCaption << "" << ClickDecision::Warn;
    QTest::newRow("nonsense warns") << texts::armCaption << "25:00" << ClickDecision::Warn;
    QTest::newRow("stop with a time") << texts::stopCaption << "07:30" << ClickDecision::Stop;
    QTest::newRow("stop with an empty field") << texts::stopCaption << "" << ClickDecision::Stop;
    QTest::newRow("stop with the placeholder")
        << texts::stopCaption << "hh:mm" << ClickDecision::Stop;
    QTest::newRow("the caption compares exactly")
        << QStringLiteral("stoppa alarm!") << "07:30" << ClickDecision::Arm;
}

void TestAlarm::shouldDecideWhatEachClickDoes()
{
    QFETCH(QString, caption);
    QFETCH(QString, typed);
    QFETCH(ClickDecision, decision);
    QCOMPARE(decideClick(caption, typed), decision);
}

void TestAlarm::shouldAimNextTickJustPastNextSecond_data()
{
    QTest::addColumn<int>("msec");
    for (const int msec : {0, 1, 4, 5, 6, 250, 500, 994, 995, 999})
        QTest::newRow(qPrintable(QString::number(msec))) << msec;
}

void TestAlarm::shouldAimNextTickJustPastNextSecond()
{
    QFETCH(int, msec);
    const QDateTime now = at("2026-12-08T07:29:58").addMSecs(msec);
    const QDateTime next = now.addMSecs(msUntilNextTick(now));

    QCOMPARE(next.time().second(), 59);
    QVERIFY2(next.time().msec() > 0 && next.time().msec() <= 10,
             qPrintable(next.toString(Qt::ISODateWithMs)));
}

QTEST_GUILESS_MAIN(TestAlarm)
#include "tst_alarm.moc"
