// SPDX-License-Identifier: MIT
#include "platform/alsatone.h"
#include "tests/support/samples.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {
using samples::frequencyOf;
using samples::Samples;
constexpr int kRate = samples::rate;
constexpr int kFramesPerMs = samples::framesPerMs;
constexpr char kFileVariable[] = "RINGLO_TONE_FILE";
constexpr char kChildVariable[] = "RINGLO_TST_ALSATONE_CHILD";
constexpr char kLaterConfigVariable[] = "RINGLO_TST_ALSATONE_LATER_CONFIG";

// Stands alone so that no ~/.asoundrc or /etc/alsa/conf.d of the machine can take over. The file
// plugin writes one WAV per opening of the device, looking the name up each time; the null device
// behind it takes samples as fast as they come.
QByteArray captureConfig(const QString &fallbackFile)
{
    return QStringLiteral("pcm.!default { type file; slave.pcm { type null }; format \"wav\"; "
                          "truncate false; file { @func getenv vars [ %1 ] default \"%2\" } }\n")
        .arg(QLatin1String(kFileVariable), fallbackFile)
        .toUtf8();
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

quint32 le(const QByteArray &bytes, qsizetype at, int size)
{
    quint32 value = 0;
    while (size-- > 0)
        value = value << 8 | quint8(bytes[at + size]);
    return value;
}

// The samples of a 16-bit mono 48 kHz WAV whose header sizes match the file, which they do only
// once the device has been closed; nothing otherwise.
std::optional<Samples> readWav(const QString &path)
{
    QFile file(path);
    const QByteArray b = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 8) != "WAVEfmt " ||
        b.mid(36, 4) != "data" || le(b, 4, 4) != b.size() - 8 || le(b, 40, 4) != b.size() - 44 ||
        le(b, 20, 2) != 1 || le(b, 22, 2) != 1 || le(b, 24, 4) != kRate || le(b, 34, 2) != 16)
        return {};
    Samples samples(std::size_t(b.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16(le(b, 44 + 2 * qsizetype(i), 2));
    return samples;
}

bool finished(const QString &path)
{
    return readWav(path).has_value();
}

qsizetype lengthOf(const QString &path)
{
    return qsizetype(readWav(path).value_or(Samples{}).size());
}

double frequencyOf(const QString &path)
{
    const Samples samples = readWav(path).value_or(Samples{});
    return frequencyOf(samples, 0, samples.size());
}

QTemporaryDir dir;

QString captureTo(const QString &name)
{
    const QString path = dir.filePath(name + QStringLiteral(".wav"));
    qputenv(kFileVariable, path.toLocal8Bit());
    return path;
}

// The file plugin numbers the files of later openings x.wav.0001, x.wav.0002, ...
QStringList capturedFiles(const QString &path)
{
    QStringList files;
    for (const QString &name : QDir(dir.path()).entryList({QFileInfo(path).fileName() + '*'}))
        files.append(dir.filePath(name));
    return files;
}

struct RecordingTone : Tone
{
    void play(int hz, int ms) override { played.append({hz, ms}); }
    void stop() override { ++stopped; }
    QList<QPair<int, int>> played;
    int stopped = 0;
};

// Runs in a child whose default device cannot be opened, so that the parent sees all it prints.
// Exit codes other than 0 say which expectation failed.
int runWithoutSoundDevice(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    AlsaTone device;
    Tone::install(&device);
    Tone &tone = Tone::current();
    QElapsedTimer clock;
    for (int attempt = 0; attempt < 3; ++attempt) {
        clock.start();
        tone.play(900, 200);
        if (clock.elapsed() > 100)
            return 2;
        QTest::qWait(50);
        tone.stop();
    }
    // A device that turns up later, say a headset plugged in, is used at the next play().
    qputenv("ALSA_CONFIG_PATH", qgetenv(kLaterConfigVariable));
    tone.play(900, 100);
    const QString file = qEnvironmentVariable(kFileVariable);
    return QTest::qWaitFor([&file] { return finished(file); }, 10000) ? 0 : 3;
}
} // namespace

class TstAlsaTone : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void toneHasItsFrequencyLengthAndFadedEdgesWhileTheEventLoopRuns();
    void stopOrANewPlayCutsOffASoundingTone();
    void currentToneIsSilentUntilTheDeviceIsInstalled();
    void withoutASoundDeviceStaysQuietAndUsesOneThatTurnsUp();

private:
    QString m_captureConfig;
};

void TstAlsaTone::initTestCase()
{
    // ALSA splits its configuration path at blanks and colons.
    QVERIFY2(dir.isValid() && !dir.path().contains(QRegularExpression(QStringLiteral("[\\s:]"))),
             qPrintable(dir.path()));
    m_captureConfig = dir.filePath(QStringLiteral("capture.conf"));
    QVERIFY(writeFile(m_captureConfig, captureConfig(dir.filePath(QStringLiteral("stray.wav")))));
    // ALSA reads its configuration at the first opening of a device, which is yet to come.
    qputenv("ALSA_CONFIG_PATH", m_captureConfig.toLocal8Bit());
}

void TstAlsaTone::cleanup()
{
    Tone::install(nullptr);
}

void TstAlsaTone::toneHasItsFrequencyLengthAndFadedEdgesWhileTheEventLoopRuns()
{
    const QString path = captureTo(QStringLiteral("shape"));
    AlsaTone tone;
    QElapsedTimer clock;
    clock.start();
    tone.play(900, 500);
    QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    std::optional<bool> soundingWhenFired;
    QTimer::singleShot(0, this, [&] { soundingWhenFired = !finished(path); });
    QTRY_VERIFY(soundingWhenFired.has_value());
    QVERIFY(*soundingWhenFired);

    QTRY_VERIFY_WITH_TIMEOUT(finished(path), 5000);
    const Samples samples = *readWav(path);
    QVERIFY2(std::abs(double(samples.size()) / kFramesPerMs - 500) <= 5,
             qPrintable(QString::number(samples.size())));
    const double frequency = frequencyOf(samples, samples.size() / 10, samples.size() * 9 / 10);
    QVERIFY2(std::abs(frequency - 900) <= 2, qPrintable(QString::number(frequency)));
    const int peak = std::abs(int(*std::max_element(
        samples.begin(), samples.end(), [](int a, int b) { return std::abs(a) < std::abs(b); })));
    QVERIFY2(peak > 32767 / 4, qPrintable(QString::number(peak)));

    // A raised-cosine fade of 5 ms reaches 90 % after 4 ms; the sine's own crest follows within
    // half a period. Without a fade the crest comes within a quarter period.
    const auto msToNinetyPercent = [peak](auto begin, auto end) {
        const auto it =
            std::find_if(begin, end, [peak](int s) { return std::abs(s) >= peak * .9; });
        return double(it - begin) / kFramesPerMs;
    };
    for (const double ms : {msToNinetyPercent(samples.begin(), samples.end()),
                            msToNinetyPercent(samples.rbegin(), samples.rend())})
        QVERIFY2(ms >= 3.5 && ms <= 4.5 + 500.0 / 900, qPrintable(QString::number(ms)));

    // Nowhere steeper than the sine itself, counting the silence around it: no clicks.
    int step = std::max(std::abs(samples.front()), std::abs(samples.back()));
    for (std::size_t i = 1; i < samples.size(); ++i)
        step = std::max(step, std::abs(samples[i] - samples[i - 1]));
    const double sineSlope = peak * 2 * std::numbers::pi * 900 / kRate;
    QVERIFY2(step <= sineSlope * 1.05 + 2,
             qPrintable(QStringLiteral("%1 > %2").arg(step).arg(sineSlope)));
}

void TstAlsaTone::stopOrANewPlayCutsOffASoundingTone()
{
    const QString path = captureTo(QStringLiteral("cut"));
    const QStringList files{path, path + QStringLiteral(".0001"), path + QStringLiteral(".0002"),
                            path + QStringLiteral(".0003")};
    AlsaTone tone;
    tone.play(900, 2000);
    QTest::qWait(100);
    QElapsedTimer sinceStop;
    sinceStop.start();
    tone.stop();
    // Closing the device finishes the file: the worker does so at once.
    QVERIFY(QTest::qWaitFor([&] { return finished(files[0]); }, 1000));
    QVERIFY2(sinceStop.elapsed() <= 50, qPrintable(QString::number(sinceStop.elapsed())));
    const qsizetype stopped = lengthOf(files[0]);
    QVERIFY2(stopped > 0 && stopped < 1000 * kFramesPerMs, qPrintable(QString::number(stopped)));
    // Nothing more follows, and stopping again with no tone leaves the device alone.
    tone.stop();
    QTest::qWait(300);
    QCOMPARE(capturedFiles(path), files.first(1));
    QCOMPARE(lengthOf(files[0]), stopped);

    tone.play(900, 2000);
    QTest::qWait(100);
    tone.play(600, 300);
    QTRY_VERIFY(finished(files[1]));
    const qsizetype cut = lengthOf(files[1]);
    QVERIFY2(cut > 0 && cut < 1000 * kFramesPerMs, qPrintable(QString::number(cut)));
    QTRY_VERIFY_WITH_TIMEOUT(finished(files[2]), 5000);
    QCOMPARE(lengthOf(files[2]), 300 * kFramesPerMs);
    QVERIFY(std::abs(frequencyOf(files[2]) - 600) <= 2);

    // After a tone that ran its course, the next opens the device anew.
    tone.play(900, 120);
    QTRY_VERIFY_WITH_TIMEOUT(finished(files[3]), 5000);
    QTest::qWait(100);
    QCOMPARE(capturedFiles(path), files);
    QCOMPARE(lengthOf(files[3]), 120 * kFramesPerMs);
}

void TstAlsaTone::currentToneIsSilentUntilTheDeviceIsInstalled()
{
    const QString path = captureTo(QStringLiteral("installed"));
    Tone &silent = Tone::current();
    QVERIFY(!dynamic_cast<AlsaTone *>(&silent));
    silent.play(900, 100);

    AlsaTone device;
    Tone::install(&device);
    Tone::current().play(900, 100);
    QTRY_VERIFY_WITH_TIMEOUT(finished(path), 5000);

    RecordingTone recording;
    Tone::install(&recording);
    Tone::current().play(900, 100);
    Tone::current().stop();
    QCOMPARE(recording.played, (QList<QPair<int, int>>{{900, 100}}));
    QCOMPARE(recording.stopped, 1);
    Tone::install(nullptr);
    QCOMPARE(&Tone::current(), &silent);
    Tone::current().play(900, 100);

    // Only the installed device's tone reached the device.
    QTest::qWait(300);
    QCOMPARE(capturedFiles(path), QStringList{path});
    QCOMPARE(lengthOf(path), 100 * kFramesPerMs);
}

void TstAlsaTone::withoutASoundDeviceStaysQuietAndUsesOneThatTurnsUp()
{
    const QString configPath = dir.filePath(QStringLiteral("missing.conf"));
    QVERIFY(writeFile(configPath, "pcm.!default { type hw; card \"Missing\" }\n"));
    const QString path = captureTo(QStringLiteral("later"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("ALSA_CONFIG_PATH"), configPath);
    environment.insert(QLatin1String(kLaterConfigVariable), m_captureConfig);
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.readAllStandardError(), QByteArray());
    QCOMPARE(child.readAllStandardOutput(), QByteArray());
    QCOMPARE(child.exitCode(), 0);

    // The child's last tone went to the device that turned up, and only that one.
    QCOMPARE(capturedFiles(path), QStringList{path});
    QCOMPARE(lengthOf(path), 100 * kFramesPerMs);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runWithoutSoundDevice(argc, argv);
    QCoreApplication app(argc, argv);
    TstAlsaTone test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alsatone.moc"
