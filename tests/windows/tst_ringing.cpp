// SPDX-License-Identifier: MIT
// Arming, ringing and stopping through the two windows, with the clock, the tone and the warning
// box replaced so that every effect can be seen.
#include "core/alarm.h"
#include "platform/clock.h"
#include "platform/module1.h"
#include "platform/noticeicon.h"
#include "platform/sessionhold.h"
#include "platform/tone.h"
#include "platform/warningbox.h"
#include "tests/support/recordingnotification.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

class FakeClock : public Clock
{
public:
    QDateTime now() const override { return time; }
    QDateTime time;
};

class FakeTone : public Tone
{
public:
    void play(int frequencyHz, int durationMs) override
    {
        log.append(QStringLiteral("play %1 %2").arg(frequencyHz).arg(durationMs));
        // What the user sees while the tone sounds.
        if (form2Exists()) {
            const Form2 &window = form2();
            seenWhilePlaying = {
                window.windowTitle(), window.Command1->text(), window.txtMeddelande->toPlainText(),
                window.isVisible() ? QStringLiteral("visible") : QStringLiteral("hidden")};
        }
    }
    void stop() override { log.append(QStringLiteral("stop")); }
    QStringList log;
    QStringList seenWhilePlaying;
};

class FakeSessionHold : public SessionHold
{
public:
    void hold(const QString &reason, quint32 window) override
    {
        log.append(QStringLiteral("hold %1 for %2").arg(reason).arg(window));
    }
    void release() override { log.append(QStringLiteral("release")); }
    void wakeScreen() override { log.append(QStringLiteral("wake")); }
    QStringList log;
};

class FakeWarningBox : public WarningBox
{
public:
    void show(QWidget *over, const QString &text, const QString &title) override
    {
        shown.append(title + QLatin1Char('|') + text);
        overVisible = over && over->isVisible();
    }
    QStringList shown;
    bool overVisible = false;
};

// Records the set-alarm window's title and button at the moment it is shown.
class ShowWatcher : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            const auto *window = static_cast<Form2 *>(watched);
            seen.append(window->windowTitle() + QLatin1Char('|') + window->Command1->text());
        }
        return false;
    }
    QStringList seen;
};

} // namespace

class TestRinging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void shouldOnlyShowTimeWhileNothingIsArmed();
    void shouldArmValidTimeAndShowItInMainWindow();
    void shouldWarnAndArmNothingForTimeThatCannotCome_data();
    void shouldWarnAndArmNothingForTimeThatCannotCome();
    void shouldRingAtDueMomentInOrderAndAgainEveryTick();
    void shouldNotRingMorningAlarmArmedInEvening();
    void shouldStopWhateverTheTimeFieldHolds();
    void shouldShowMessageLiterally();
    void shouldComeBackAtNextTickWhenClosedWhileRinging();
    void shouldHeedOnlyTheServerAboutItsOwnNotice_data();
    void shouldHeedOnlyTheServerAboutItsOwnNotice();
    void shouldShowTheBellInTheNoticeInstalledOrNot();

private:
    void tickAt(const char *localTime);
    void arm(const QString &time, const QString &message);

    FakeClock clock;
    FakeTone tone;
    FakeWarningBox warning;
    FakeSessionHold session;
    std::optional<RecordingNotification> notice; // anew for each test
    Form1 *main = nullptr;
};

void TestRinging::init()
{
    Clock::install(&clock);
    Tone::install(&tone);
    WarningBox::install(&warning);
    Notification::install(&notice.emplace());
    SessionHold::install(&session);
    tone.log.clear();
    session.log.clear();
    warning.shown.clear();
    alarm().disarm();
    main = new Form1;
    main->TmrKlocka.stop(); // the test is the clock
    main->show();
}

void TestRinging::cleanup()
{
    main->close(); // its unload clears the guard and takes the set-alarm window with it
    delete main;
    QVERIFY(!form2Exists());
    Clock::install(nullptr);
    Tone::install(nullptr);
    WarningBox::install(nullptr);
    Notification::install(nullptr);
    SessionHold::install(nullptr);
}

void TestRinging::tickAt(const char *localTime)
{
    clock.time = QDateTime::fromString(QString::fromLatin1(localTime), Qt::ISODateWithMs);
    main->TmrKlocka_Timer();
}

void TestRinging::arm(const QString &time, const QString &message)
{
    main->mnuÄndraAlarm->trigger();
    form2().txtTid->setText(time);
    form2().txtMeddelande->setPlainText(message);
    QTest::mouseClick(form2().Command1, Qt::LeftButton);
}

void TestRinging::shouldOnlyShowTimeWhileNothingIsArmed()
{
    QCOMPARE(main->lblKlocka->text(), QString());
    tickAt("2026-12-08T07:05:09.004");
    QCOMPARE(main->lblKlocka->text(), QStringLiteral("07:05:09"));
    tickAt("2026-12-08T19:05:10.004");
    QCOMPARE(main->lblKlocka->text(), QStringLiteral("19:05:10"));
    QVERIFY(!form2Exists());
    QVERIFY(tone.log.isEmpty());
    QVERIFY(session.log.isEmpty());
    // Re-aimed at just past the next second.
    QVERIFY(main->TmrKlocka.isActive());
    QVERIFY(main->TmrKlocka.interval() > 990 && main->TmrKlocka.interval() <= 1005);
    QCOMPARE(main->TmrKlocka.timerType(), Qt::PreciseTimer);
}

void TestRinging::shouldArmValidTimeAndShowItInMainWindow()
{
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T06:00:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("Vakna!"));

    QVERIFY(warning.shown.isEmpty());
    QCOMPARE(alarm().alarmTid(), QStringLiteral("07:30"));
    QCOMPARE(alarm().alarmMeddelande(), QStringLiteral("Vakna!"));
    QCOMPARE(main->lblInstLarm->text(), QStringLiteral("07:30"));
    QCOMPARE(main->lblinfomed->text(), QStringLiteral("Vakna!"));
    QVERIFY(!form2().isVisible());
    QCOMPARE(form2().txtTid->text(), QStringLiteral("07:30"));

    tickAt("2026-12-08T07:29:59.004");
    main->setWindowTitle(QStringLiteral("something else"));
    tickAt("2026-12-08T07:29:59.504");
    QCOMPARE(main->windowTitle(), QStringLiteral("Ringlo (PC)"));
    QVERIFY(tone.log.isEmpty());

    // Held for the main window from the arming, anew for a new time, and let go at the exit.
    arm(QStringLiteral("08:15"), QStringLiteral("Vakna!"));
    const QString held =
        QStringLiteral("hold Alarm inställt på %1 for ") + QString::number(main->winId());
    main->close();
    QCOMPARE(session.log,
             (QStringList{held.arg(QLatin1String("07:30")), held.arg(QLatin1String("08:15")),
                          QStringLiteral("release")}));
}

void TestRinging::shouldWarnAndArmNothingForTimeThatCannotCome_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("placeholder") << "hh:mm";
    QTest::newRow("empty") << "";
    QTest::newRow("no leading zero") << "7:30";
    QTest::newRow("hour 25") << "25:00";
    QTest::newRow("letters") << "ab";
}

void TestRinging::shouldWarnAndArmNothingForTimeThatCannotCome()
{
    QFETCH(QString, typed);
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T06:00:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("gammalt"));
    main->mnuÄndraAlarm->trigger();
    form2().txtTid->setText(typed);
    form2().txtMeddelande->setPlainText(QStringLiteral("nytt"));
    QTest::mouseClick(form2().Command1, Qt::LeftButton);

    QCOMPARE(warning.shown, QStringList{QStringLiteral("Fel|Fyll i en korrekt tid")});
    QVERIFY(warning.overVisible);
    QCOMPARE(alarm().alarmTid(), QStringLiteral("07:30"));
    QCOMPARE(alarm().alarmMeddelande(), QStringLiteral("gammalt"));
    QCOMPARE(main->lblInstLarm->text(), QStringLiteral("07:30"));
    QCOMPARE(main->lblinfomed->text(), QStringLiteral("gammalt"));
    QVERIFY(form2().isVisible());
    QCOMPARE(form2().txtTid->text(), typed);
    QCOMPARE(form2().txtMeddelande->toPlainText(), QStringLiteral("nytt"));
    QCOMPARE(form2().focusWidget(), form2().txtTid);
}

void TestRinging::shouldRingAtDueMomentInOrderAndAgainEveryTick()
{
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T07:29:58"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("Vakna!"));
    auto *watcher = new ShowWatcher(&form2());
    form2().installEventFilter(watcher);
    tickAt("2026-12-08T07:29:59.004");
    QVERIFY(tone.log.isEmpty());
    QVERIFY(!form2().isVisible());

    tickAt("2026-12-08T07:30:00.004");

    QCOMPARE(main->lblKlocka->text(), QStringLiteral("07:30:00"));
    // Shown on top with its new title while the button still offers to arm...
    QCOMPARE(watcher->seen, QStringList{QStringLiteral("Nu är det dags|Ställ in alarm")});
    QVERIFY(form2().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // ... and the tone sounds once the button and the message are in place.
    QCOMPARE(tone.log, QStringList{QStringLiteral("play 900 500")});
    QCOMPARE(tone.seenWhilePlaying,
             (QStringList{QStringLiteral("Nu är det dags"), QStringLiteral("Stoppa Alarm!"),
                          QStringLiteral("Vakna!"), QStringLiteral("visible")}));

    QCOMPARE(session.log.last(), QStringLiteral("wake"));

    form2().txtMeddelande->setPlainText(QStringLiteral("skrivet under ringningen"));
    tickAt("2026-12-08T07:30:01.004");
    QCOMPARE(tone.log.size(), 2);
    QCOMPARE(session.log.count(QStringLiteral("wake")), 1);
    QCOMPARE(form2().txtMeddelande->toPlainText(), QStringLiteral("Vakna!"));
    QCOMPARE(form2().Command1->text(), QStringLiteral("Stoppa Alarm!"));

    // A clock stepped back before the due moment does not silence it.
    tickAt("2026-12-08T07:10:00.004");
    QCOMPARE(tone.log.size(), 3);
}

void TestRinging::shouldNotRingMorningAlarmArmedInEvening()
{
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T22:00:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("morgon"));
    tickAt("2026-12-08T22:00:01.004");
    tickAt("2026-12-08T23:59:59.004");
    tickAt("2026-12-09T07:29:59.004");
    QVERIFY(tone.log.isEmpty());
    QCOMPARE(form2().Command1->text(), QStringLiteral("Ställ in alarm"));
    tickAt("2026-12-09T07:30:00.004");
    QCOMPARE(tone.log, QStringList{QStringLiteral("play 900 500")});
}

void TestRinging::shouldStopWhateverTheTimeFieldHolds()
{
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T07:29:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("Vakna!"));
    tickAt("2026-12-08T07:30:00.004");
    form2().txtTid->clear();

    QTest::mouseClick(form2().Command1, Qt::LeftButton);

    QVERIFY(warning.shown.isEmpty());
    QCOMPARE(tone.log, (QStringList{QStringLiteral("play 900 500"), QStringLiteral("stop")}));
    QCOMPARE(session.log.last(), QStringLiteral("release"));
    QVERIFY(!alarm().isArmed());
    QVERIFY(alarm().alarmMeddelande().isEmpty());
    QCOMPARE(form2().Command1->text(), QStringLiteral("Ställ in alarm"));
    QVERIFY(!form2().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!form2().isVisible());
    QCOMPARE(main->lblInstLarm->text(), QString());
    // What the stop leaves alone.
    QCOMPARE(form2().windowTitle(), QStringLiteral("Nu är det dags"));
    QCOMPARE(main->lblinfomed->text(), QStringLiteral("Vakna!"));
    QCOMPARE(form2().txtMeddelande->toPlainText(), QStringLiteral("Vakna!"));

    tickAt("2026-12-08T07:30:01.004");
    tickAt("2026-12-09T07:30:00.004");
    QCOMPARE(tone.log.size(), 2);
    QVERIFY(!form2().isVisible());
}

void TestRinging::shouldShowMessageLiterally()
{
    const QString message =
        QStringLiteral("<b>fet</b> <img src=\"x.png\">\nrad två &amp; ") + QString(10000, u'x');
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T07:29:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), message);
    QCOMPARE(main->lblinfomed->text(), message);
    QCOMPARE(main->lblinfomed->textFormat(), Qt::PlainText);
    tickAt("2026-12-08T07:30:00.004");
    QCOMPARE(form2().txtMeddelande->toPlainText(), message);
    main->grab(); // paints the long text without trouble
    form2().grab();
}

void TestRinging::shouldComeBackAtNextTickWhenClosedWhileRinging()
{
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T07:29:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("Vakna!"));
    tickAt("2026-12-08T07:30:00.004");
    QVERIFY(!form2().close());
    QVERIFY(!form2().isVisible());
    tickAt("2026-12-08T07:30:01.004");
    QVERIFY(form2().isVisible());
    QVERIFY(form2().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TestRinging::shouldHeedOnlyTheServerAboutItsOwnNotice_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<QString>("heard"); // actions, or "closed" and the reason
    QTest::addColumn<bool>("stops");
    QTest::addColumn<int>("sentAgain");

    QTest::newRow("stop from the server") << ":1.7" << 7u << "stop" << true << 0;
    QTest::newRow("stop from another sender") << ":1.9" << 7u << "stop" << false << 0;
    QTest::newRow("stop for another notice") << ":1.7" << 8u << "stop" << false << 0;
    QTest::newRow("dismissed by the user") << ":1.7" << 7u << "closed 2" << false << 0;
    QTest::newRow("expired") << ":1.7" << 7u << "closed 1" << false << 1;
    QTest::newRow("closed by the server") << ":1.7" << 7u << "closed 3" << false << 1;
    QTest::newRow("opened, then closed") << ":1.7" << 7u << "default, closed 3" << false << 0;
}

void TestRinging::shouldHeedOnlyTheServerAboutItsOwnNotice()
{
    QFETCH(QString, sender);
    QFETCH(quint32, id);
    QFETCH(QString, heard);
    QFETCH(bool, stops);
    QFETCH(int, sentAgain);
    clock.time = QDateTime::fromString(QStringLiteral("2026-12-08T07:29:00"), Qt::ISODate);
    arm(QStringLiteral("07:30"), QStringLiteral("Vakna!"));
    tickAt("2026-12-08T07:30:00.004");
    notice->shown(QStringLiteral(":1.7"), 7);
    for (const QString &signal : heard.split(QLatin1String(", "))) {
        if (signal.startsWith(QLatin1String("closed")))
            notice->closed(sender, id, signal.back().digitValue());
        else
            notice->actionInvoked(sender, id, signal);
    }

    QCOMPARE(alarm().isArmed(), !stops);
    tickAt("2026-12-08T07:30:01.004");
    QCOMPARE(notice->sent.size(), 1 + sentAgain);
}

void TestRinging::shouldShowTheBellInTheNoticeInstalledOrNot()
{
    const QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_DATA_DIRS", data.path().toUtf8());
    const QString id = QStringLiteral("se.ringlo.Ringlo");
    const NoticeIcon fromBuildTree = NoticeIcon::of(id, QApplication::windowIcon());
    QCOMPARE(fromBuildTree.appIcon, QString()); // no broken image, and no entry that is not there
    QCOMPARE(fromBuildTree.hints.keys(), QStringList{QStringLiteral("image-data")});
    const auto bell =
        fromBuildTree.hints.value(QStringLiteral("image-data")).value<NoticeIcon::Pixels>();
    QVERIFY(bell.hasAlpha && bell.channels == 4 && bell.bitsPerSample == 8);
    // Compared as drawn: Qt's pixmaps round the colour of a translucent pixel.
    const auto drawn = QImage::Format_ARGB32_Premultiplied;
    QCOMPARE(QImage(reinterpret_cast<const uchar *>(bell.data.constData()), bell.width, bell.height,
                    bell.rowStride, QImage::Format_RGBA8888)
                 .convertToFormat(drawn),
             QImage(QStringLiteral(":/icons/ringlo-32.png")).convertToFormat(drawn));

    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("icons/hicolor/scalable/apps")));
    QVERIFY(QFile(data.filePath(QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(id)))
                .open(QIODevice::WriteOnly));
    const NoticeIcon installed = NoticeIcon::of(id, QApplication::windowIcon());
    QCOMPARE(installed.appIcon, id);
    QVERIFY(installed.hints.isEmpty());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    look::apply(app);
    TestRinging test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ringing.moc"
