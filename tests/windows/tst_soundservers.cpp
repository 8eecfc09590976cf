// SPDX-License-Identifier: MIT
// The alarm through the sound servers that desktops route ALSA's default device to: the tones
// come out right, a server that hangs freezes neither the clock, nor the stop, nor the exit, and
// a server that is killed and started again is used again.
#include "core/alarm.h"
#include "platform/alsatone.h"
#include "platform/clock.h"
#include "tests/support/recordingnotification.h"
#include "tests/support/soundserver.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using sound::Server;

namespace {

// The wall clock, moved so that an alarm for 07:30 is due a moment from now.
class MovedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime().addMSecs(shift); }
    // Moves by whole seconds, once the real clock is at the fraction of a second asked for. The
    // main window's tick is aimed at the real clock's next second: with the clock moved by a
    // fraction of one, the first ring came at the first tick after the due moment, up to 300 ms
    // late, and the next on time, so the first two tones were less than a second apart.
    bool readSoon(QTime localTime)
    {
        const bool atFraction = QTest::qWaitFor(
            [&] { return QTime::currentTime().msec() / 100 == localTime.msec() / 100; });
        const qint64 ms =
            QDateTime::currentDateTime().msecsTo(QDateTime(QDate::currentDate(), localTime));
        shift = std::llround(double(ms) / 1000) * 1000;
        return atFraction;
    }
    qint64 shift = 0;
};

QString describe(const std::vector<samples::Burst> &bursts)
{
    QStringList parts;
    for (const samples::Burst &burst : bursts)
        parts.append(QStringLiteral("%1+%2 ms").arg(burst.startMs()).arg(burst.lengthMs()));
    return parts.join(QStringLiteral(", "));
}

} // namespace

class TestSoundServers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void shouldRingThroughServerAndNeverFreeze_data();
    void shouldRingThroughServerAndNeverFreeze();

private:
    void ringSoon();
    // Clicks "Stoppa Alarm!" and says how long the window took to hide.
    qint64 clickStop();

    MovedClock clock;
    AlsaTone tone;
    RecordingNotification notice; // the servers' private bus would start a notification server
    Form1 *main = nullptr;
};

void TestSoundServers::init()
{
    Clock::install(&clock);
    Tone::install(&tone);
    Notification::install(&notice);
    alarm().disarm();
    main = new Form1;
    main->show();
}

void TestSoundServers::cleanup()
{
    main->close();
    delete main;
    Clock::install(nullptr);
    Tone::install(nullptr);
    Notification::install(nullptr);
}

void TestSoundServers::ringSoon()
{
    QVERIFY(clock.readSoon(QTime(7, 29, 59, 300)));
    main->mnuÄndraAlarm->trigger();
    form2().txtTid->setText(QStringLiteral("07:30"));
    QTest::mouseClick(form2().Command1, Qt::LeftButton);
    QTRY_COMPARE(form2().Command1->text(), QStringLiteral("Stoppa Alarm!"));
}

qint64 TestSoundServers::clickStop()
{
    QElapsedTimer clicked;
    clicked.start();
    QTest::mouseClick(form2().Command1, Qt::LeftButton);
    const qint64 ms = clicked.elapsed();
    return form2().isVisible() ? -1 : ms;
}

void TestSoundServers::shouldRingThroughServerAndNeverFreeze_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<int>("recordMs"); // the recorder's latency; 0 leaves the server's default
    QTest::addColumn<int>("quantum");  // PipeWire's graph forced to it; 0 leaves it free
    QTest::addColumn<int>("stopMs");   // the most a stop may take with the server answering
    QTest::addColumn<bool>("tonesOnly");
    // PipeWire runs its whole graph at the shortest latency a stream asks for: at 20 ms the
    // recorder cut the cycle to a quarter of the tone's, and a loaded machine then missed a 10 ms
    // deadline now and then, a gap in what was recorded.
    QTest::newRow("PulseAudio") << Server::PulseAudio << 20 << 0 << 300 << false;
    QTest::newRow("PipeWire") << Server::PipeWire << 50 << 0 << 100 << false;
    QTest::newRow("PulseAudio at its default latency")
        << Server::PulseAudio << 0 << 0 << 300 << true;
    QTest::newRow("PipeWire at quantum 8192") << Server::PipeWire << 50 << 8192 << 100 << true;
}

void TestSoundServers::shouldRingThroughServerAndNeverFreeze()
{
    QFETCH(Server, server);
    QFETCH(int, recordMs);
    QFETCH(int, quantum);
    QFETCH(int, stopMs);
    QFETCH(bool, tonesOnly);
    QTemporaryDir folder;
    sound::PrivateServer sound(server, folder.path(), recordMs, quantum);
    QVERIFY2(sound.start(), qPrintable(sound.lastError()));

    // Three tones a second apart, the last one cut short by the stop.
    QVERIFY2(sound.record(), qPrintable(sound.lastError()));
    ringSoon();
    // Early in the third tone, so that the stop has most of it left to silence; a 171 ms graph
    // cycle has started it by then. Where only the tones count, the stop comes in the fourth
    // instead, so that a sink that played them late, as one that had rendered seconds ahead
    // before the tone's stream came did, has not started it yet.
    QTest::qWait(tonesOnly ? 3300 : 2300);
    const qint64 stopped = clickStop();
    QVERIFY2(stopped >= 0 && stopped <= stopMs, qPrintable(QString::number(stopped)));
    // A recorder at the server's default latency hands over seconds at a time.
    QTest::qWait(1500);
    (void)QTest::qWaitFor([&] { return samples::burstsIn(sound.recorded()).size() >= 3; }, 5000);
    samples::Samples heard = sound.recorded();
    std::vector<samples::Burst> tones = samples::burstsIn(heard);
    qInfo("tones: %s", qPrintable(describe(tones)));
    QVERIFY2(tones.size() == (tonesOnly ? 4U : 3U), qPrintable(describe(tones)));
    for (std::size_t i = 0; i < 3; ++i) {
        const samples::Burst &tone = tones[i];
        const double hz = samples::frequencyOf(heard, tone.from, tone.to);
        QVERIFY2(std::abs(hz - 900) <= 3, qPrintable(QString::number(hz)));
        if (i > 0)
            QVERIFY2(std::abs(tone.startMs() - tones[i - 1].startMs() - 1000) <= 60,
                     qPrintable(describe(tones)));
        if (i < 2 || tonesOnly)
            QVERIFY2(std::abs(tone.lengthMs() - 500) <= 30, qPrintable(describe(tones)));
        else
            QVERIFY2(tone.lengthMs() < 450, qPrintable(describe(tones)));
    }
    if (tonesOnly)
        return;

    // A server that stops answering halfway through a tone: the clock goes on, the stop is
    // taken at once, and once the server answers again nothing more sounds.
    ringSoon();
    QTest::qWait(1300);
    const std::size_t beforeHang = samples::burstsIn(sound.recorded()).size();
    sound.pause();
    QElapsedTimer hung;
    hung.start();
    QSet<QString> shown;
    for (int second = 0; second < 3; ++second) {
        QTest::qWait(1000);
        shown.insert(main->lblKlocka->text());
    }
    const qint64 waited = hung.elapsed();
    const qint64 stoppedWhileHung = clickStop();
    // Nor does the program's exit wait for it.
    auto tone = std::make_unique<AlsaTone>();
    tone->play(900, 500);
    QTest::qWait(100);
    QElapsedTimer exiting;
    exiting.start();
    tone.reset();
    const qint64 exited = exiting.elapsed();
    sound.resume();
    QVERIFY2(exited <= 1000, qPrintable(QString::number(exited)));
    // A frozen window could not have come back from each wait on time.
    QVERIFY2(waited < 3500, qPrintable(QString::number(waited)));
    QVERIFY2(shown.size() == 3, qPrintable(QStringList(shown.values()).join(u' ')));
    QVERIFY2(stoppedWhileHung >= 0 && stoppedWhileHung <= 300,
             qPrintable(QString::number(stoppedWhileHung)));
    qInfo("stop: %lld ms; with the server hung: %lld ms; exit: %lld ms", stopped, stoppedWhileHung,
          exited);
    QTest::qWait(2000);
    tones = samples::burstsIn(sound.recorded());
    QVERIFY2(tones.size() == beforeHang, qPrintable(describe(tones)));

    // A server that died and came back is used at the next tone.
    sound.kill();
    QVERIFY2(sound.start(), qPrintable(sound.lastError()));
    QVERIFY2(sound.record(), qPrintable(sound.lastError()));
    ringSoon();
    QTest::qWait(1500);
    QVERIFY(clickStop() >= 0);
    QTRY_VERIFY2_WITH_TIMEOUT(!samples::burstsIn(sound.recorded()).empty(), "no tone", 3000);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    look::apply(app);
    TestSoundServers test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soundservers.moc"
