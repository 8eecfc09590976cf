// SPDX-License-Identifier: MIT
#include "platform/alsatone.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
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
#include <vector>

namespace {
constexpr int kRate = 48000;
constexpr int kFramesPerMs = kRate / 1000;
constexpr char kFileVariable[] = "RINGLO_TONE_FILE";
constexpr char kChildVariable[] = "RINGLO_TST_ALSATONE_CHILD";
constexpr char kLaterConfigVariable[] = "RINGLO_TST_ALSATONE_LATER_CONFIG";

// Stands alone so that no ~/.asoundrc or /etc/alsa/conf.d of the machine can take over. The file
// plugin writes one WAV per opening of the device; the null device behind it takes samples as fast
// as they come. The file name is looked up at each opening, so every test names its own.
QByteArray captureConfig(const QString &fallbackFile)
{
    return QStringLiteral(R"(pcm.!default {
    type file
    slave.pcm { type null }
    file { @func getenv vars [ %1 ] default "%2" }
    format "wav"
    truncate false
}
)")
        .arg(QLatin1String(kFileVariable), fallbackFile)
        .toUtf8();
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

struct Wav
{
    QString problem; // empty when the file is a finished WAV of the tone's format
    std::vector<qint16> samples;
};

Wav wavProblem(const QString &problem)
{
    return {problem, {}};
}

// Only the format the tone writes passes; the sizes in the header must match the file, which
// they do only once the device has been closed.
Wav readWav(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wavProblem(QStringLiteral("cannot open %1").arg(path));
    const QByteArray bytes = file.readAll();
    // Byte by byte and bounds-checked: reads past the end yield zero bytes.
    const auto byte = [&](qsizetype at) {
        return at >= 0 && at < bytes.size() ? quint32(quint8(bytes.at(at))) : 0u;
    };
    const auto u16 = [&](qsizetype at) {
        return quint16(byte(at) | byte(at + 1) << 8);
    };
    const auto u32 = [&](qsizetype at) {
        return u16(at) | quint32(u16(at + 2)) << 16;
    };
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return wavProblem(QStringLiteral("no RIFF/WAVE header (%1 bytes)").arg(bytes.size()));
    if (u32(4) != quint32(bytes.size() - 8))
        return wavProblem(
            QStringLiteral("RIFF size %1 for a file of %2 bytes").arg(u32(4)).arg(bytes.size()));
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = u32(at + 4);
        const qsizetype body = at + 8;
        if (body + size > bytes.size())
            return wavProblem(QStringLiteral("chunk %1 runs past the end").arg(QString(id)));
        if (id == "fmt ") {
            if (size < 16 || u16(body) != 1 || u16(body + 2) != 1 || u32(body + 4) != kRate ||
                u32(body + 8) != kRate * 2 || u16(body + 12) != 2 || u16(body + 14) != 16)
                return wavProblem(QStringLiteral("not 16-bit mono PCM at 48 kHz"));
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return wavProblem(QStringLiteral("data before fmt"));
            if (size % 2 != 0 || body + size != bytes.size())
                return wavProblem(QStringLiteral("data size %1 with %2 bytes after the header")
                                      .arg(size)
                                      .arg(bytes.size() - body));
            Wav wav;
            wav.samples.resize(std::size_t(size / 2));
            for (qsizetype i = 0; i < size / 2; ++i)
                wav.samples[std::size_t(i)] = qint16(u16(body + 2 * i));
            return wav;
        }
        at = body + size + size % 2;
    }
    return wavProblem(QStringLiteral("no data chunk"));
}

// Upward zero crossings, placed between samples by linear interpolation.
double frequencyOf(const std::vector<qint16> &samples, std::size_t from, std::size_t to)
{
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = from; i + 1 < to; ++i) {
        if (samples[i] < 0 && samples[i + 1] >= 0) {
            const double at = double(i) + double(-samples[i]) / double(samples[i + 1] - samples[i]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * kRate / (last - first);
}

int peakOf(const std::vector<qint16> &samples)
{
    int peak = 0;
    for (const qint16 sample : samples)
        peak = std::max(peak, std::abs(int(sample)));
    return peak;
}

// Milliseconds from the start until the tone first reaches the given level.
double msUntil(const std::vector<qint16> &samples, int level)
{
    const auto it = std::find_if(samples.begin(), samples.end(),
                                 [level](qint16 sample) { return std::abs(int(sample)) >= level; });
    return double(it - samples.begin()) / kFramesPerMs;
}

// The largest jump between neighbouring samples, counting the silence before and after the tone.
int largestStep(const std::vector<qint16> &samples)
{
    int step = 0;
    int previous = 0;
    for (const qint16 sample : samples) {
        step = std::max(step, std::abs(sample - previous));
        previous = sample;
    }
    return std::max(step, std::abs(previous));
}

class RecordingTone : public Tone
{
public:
    void play(int frequencyHz, int durationMs) override
    {
        played.append({frequencyHz, durationMs});
    }
    void stop() override { ++stopped; }

    QList<QPair<int, int>> played;
    int stopped = 0;
};

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs in a child whose default device cannot be opened; the parent checks that it prints nothing
// and exits normally. Exit codes other than 0 say which expectation failed.
int runWithoutSoundDevice(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Tone &tone = Tone::current();
    QElapsedTimer clock;
    for (int attempt = 0; attempt < 3; ++attempt) {
        clock.start();
        tone.play(900, 200);
        if (clock.elapsed() > 100)
            return 2;
        spin(50);
        tone.stop();
    }
    // A device that turns up later, say a headset plugged in, is used at the next play().
    qputenv("ALSA_CONFIG_PATH", qgetenv(kLaterConfigVariable));
    tone.play(900, 100);
    const QString file = qEnvironmentVariable(kFileVariable);
    clock.start();
    while (!readWav(file).problem.isEmpty()) {
        if (clock.elapsed() > 10000)
            return 3;
        spin(20);
    }
    return 0;
}
} // namespace

class TstAlsaTone : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void toneShape_data();
    void toneShape();
    void eachPlayWritesItsOwnFile();
    void stopSilencesAtOnce();
    void playCutsOffASoundingTone();
    void eventLoopRunsDuringATone();
    void currentToneIsTheSoundDevice();
    void withoutASoundDevice_data();
    void withoutASoundDevice();

private:
    QString captureTo(const QString &name);
    QStringList capturedFiles(const QString &path) const;

    QTemporaryDir m_dir;
    QString m_captureConfig;
};

void TstAlsaTone::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // ALSA splits its configuration path at blanks and colons.
    QVERIFY2(!m_dir.path().contains(QRegularExpression(QStringLiteral("[\\s:]"))),
             qPrintable(m_dir.path()));
    m_captureConfig = m_dir.filePath(QStringLiteral("capture.conf"));
    QVERIFY(writeFile(m_captureConfig, captureConfig(m_dir.filePath(QStringLiteral("stray.wav")))));
    // ALSA reads its configuration at the first opening of a device, which none of the tests has
    // done yet.
    qputenv("ALSA_CONFIG_PATH", m_captureConfig.toLocal8Bit());
}

void TstAlsaTone::cleanup()
{
    Tone::replace(nullptr);
    Tone::current().stop();
}

QString TstAlsaTone::captureTo(const QString &name)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".wav"));
    qputenv(kFileVariable, path.toLocal8Bit());
    return path;
}

// The file plugin numbers the files of later openings x.wav.0001, x.wav.0002, ...
QStringList TstAlsaTone::capturedFiles(const QString &path) const
{
    const QFileInfo info(path);
    QStringList files;
    const QStringList names =
        info.dir().entryList({info.fileName() + QLatin1Char('*')}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        files.append(info.dir().filePath(name));
    return files;
}

void TstAlsaTone::toneShape_data()
{
    QTest::addColumn<int>("frequencyHz");
    QTest::addColumn<int>("durationMs");
    // The latter two end away from a zero of the sine, where a missing fade would show as a step.
    QTest::newRow("900 Hz for 500 ms") << 900 << 500;
    QTest::newRow("440 Hz for 254 ms") << 440 << 254;
    QTest::newRow("1700 Hz for 151 ms") << 1700 << 151;
}

void TstAlsaTone::toneShape()
{
    QFETCH(int, frequencyHz);
    QFETCH(int, durationMs);
    const QString path = captureTo(QStringLiteral("shape-%1-%2").arg(frequencyHz).arg(durationMs));
    AlsaTone tone;
    tone.play(frequencyHz, durationMs);
    QTRY_VERIFY_WITH_TIMEOUT(readWav(path).problem.isEmpty(), durationMs + 5000);
    QTest::qWait(100);
    QCOMPARE(capturedFiles(path), QStringList{path});

    const std::vector<qint16> samples = readWav(path).samples;
    const double lengthMs = double(samples.size()) / kFramesPerMs;
    QVERIFY2(std::abs(lengthMs - durationMs) <= 5, qPrintable(QString::number(lengthMs)));

    const double frequency =
        frequencyOf(samples, samples.size() / 10, samples.size() - samples.size() / 10);
    QVERIFY2(std::abs(frequency - frequencyHz) <= 2, qPrintable(QString::number(frequency)));

    const int peak = peakOf(samples);
    QVERIFY2(peak > 32767 / 4, qPrintable(QString::number(peak)));
    QVERIFY(std::abs(samples.front()) <= peak / 50);
    QVERIFY(std::abs(samples.back()) <= peak / 50);

    // A raised-cosine fade of 5 ms reaches 90 % after 4 ms; the sine's own crest follows within
    // half a period.
    const double halfPeriodMs = 500.0 / frequencyHz;
    const int nearlyFull = peak * 9 / 10;
    const std::vector<qint16> reversed(samples.rbegin(), samples.rend());
    for (const auto &edge : {samples, reversed}) {
        const double rise = msUntil(edge, nearlyFull);
        QVERIFY2(rise >= 3.5 && rise <= 4.5 + halfPeriodMs, qPrintable(QString::number(rise)));
    }

    // Nowhere steeper than the sine itself: no clicks, at the edges or in between.
    const double sineSlope = peak * 2 * std::numbers::pi * frequencyHz / kRate;
    const int step = largestStep(samples);
    QVERIFY2(step <= sineSlope * 1.05 + 2,
             qPrintable(QStringLiteral("%1 > %2").arg(step).arg(sineSlope)));
}

void TstAlsaTone::eachPlayWritesItsOwnFile()
{
    const QString path = captureTo(QStringLiteral("sequence"));
    AlsaTone tone;
    const QList<int> frequencies{900, 600, 1200};
    QStringList expected{path};
    for (int i = 1; i < frequencies.size(); ++i)
        expected.append(path + QStringLiteral(".%1").arg(i, 4, 10, QLatin1Char('0')));
    for (qsizetype i = 0; i < frequencies.size(); ++i) {
        tone.play(frequencies[i], 120);
        QTRY_VERIFY_WITH_TIMEOUT(readWav(expected[i]).problem.isEmpty(), 5000);
    }
    QTest::qWait(100);
    QCOMPARE(capturedFiles(path), expected);
    for (qsizetype i = 0; i < frequencies.size(); ++i) {
        const std::vector<qint16> samples = readWav(expected[i]).samples;
        QCOMPARE(qsizetype(samples.size()), 120 * kFramesPerMs);
        QVERIFY(std::abs(frequencyOf(samples, 0, samples.size()) - frequencies[i]) <= 2);
    }
}

void TstAlsaTone::stopSilencesAtOnce()
{
    const QString path = captureTo(QStringLiteral("stopped"));
    AlsaTone tone;
    tone.play(900, 2000);
    QTest::qWait(100);
    tone.stop();

    // Closing the device finishes the file, so it is complete the moment stop() returns.
    const Wav wav = readWav(path);
    QVERIFY2(wav.problem.isEmpty(), qPrintable(wav.problem));
    QVERIFY(!wav.samples.empty());
    QVERIFY2(wav.samples.size() < 1000 * kFramesPerMs,
             qPrintable(QString::number(wav.samples.size())));

    // Nothing more follows, and stopping again with no tone leaves the device alone.
    tone.stop();
    QTest::qWait(300);
    QCOMPARE(capturedFiles(path), QStringList{path});
    QCOMPARE(readWav(path).samples.size(), wav.samples.size());
}

void TstAlsaTone::playCutsOffASoundingTone()
{
    const QString path = captureTo(QStringLiteral("interrupted"));
    const QString second = path + QStringLiteral(".0001");
    AlsaTone tone;
    tone.play(900, 2000);
    QTest::qWait(100);
    tone.play(600, 300);

    // The first tone's device is closed before the second one opens: they never overlap.
    const Wav first = readWav(path);
    QVERIFY2(first.problem.isEmpty(), qPrintable(first.problem));
    QVERIFY2(first.samples.size() < 1000 * kFramesPerMs,
             qPrintable(QString::number(first.samples.size())));
    QVERIFY(std::abs(frequencyOf(first.samples, 0, first.samples.size()) - 900) <= 2);

    QTRY_VERIFY_WITH_TIMEOUT(readWav(second).problem.isEmpty(), 5000);
    QTest::qWait(100);
    QCOMPARE(capturedFiles(path), (QStringList{path, second}));
    const std::vector<qint16> samples = readWav(second).samples;
    QCOMPARE(qsizetype(samples.size()), 300 * kFramesPerMs);
    QVERIFY(std::abs(frequencyOf(samples, 0, samples.size()) - 600) <= 2);
}

void TstAlsaTone::eventLoopRunsDuringATone()
{
    const QString path = captureTo(QStringLiteral("responsive"));
    AlsaTone tone;
    QElapsedTimer clock;
    clock.start();
    tone.play(900, 500);
    const qint64 playMs = clock.elapsed();
    QVERIFY2(playMs < 100, qPrintable(QString::number(playMs)));

    bool fired = false;
    bool soundingWhenFired = false;
    QObject context;
    QTimer::singleShot(0, &context, [&] {
        fired = true;
        soundingWhenFired = !QFileInfo::exists(path) || !readWav(path).problem.isEmpty();
    });
    QTRY_VERIFY(fired);
    QVERIFY(soundingWhenFired);

    // The tone is not disturbed by the events handled meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(readWav(path).problem.isEmpty(), 5000);
    QCOMPARE(qsizetype(readWav(path).samples.size()), 500 * kFramesPerMs);
}

void TstAlsaTone::currentToneIsTheSoundDevice()
{
    const QString path = captureTo(QStringLiteral("current"));
    Tone &device = Tone::current();
    QVERIFY(dynamic_cast<AlsaTone *>(&device));

    RecordingTone recording;
    Tone::replace(&recording);
    Tone::current().play(900, 100);
    Tone::current().stop();
    QCOMPARE(recording.played, (QList<QPair<int, int>>{{900, 100}}));
    QCOMPARE(recording.stopped, 1);
    QTest::qWait(200);
    QVERIFY(capturedFiles(path).isEmpty());

    Tone::replace(nullptr);
    QCOMPARE(&Tone::current(), &device);
    Tone::current().play(900, 100);
    QTRY_VERIFY_WITH_TIMEOUT(readWav(path).problem.isEmpty(), 5000);
    QCOMPARE(qsizetype(readWav(path).samples.size()), 100 * kFramesPerMs);
}

void TstAlsaTone::withoutASoundDevice_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::newRow("unknown card") << QByteArray("pcm.!default { type hw; card \"Missing\" }\n");
    QTest::newRow("unknown device") << QByteArray("pcm.!default \"missing\"\n");
}

void TstAlsaTone::withoutASoundDevice()
{
    QFETCH(QByteArray, config);
    const QString name =
        QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString configPath = m_dir.filePath(name + QStringLiteral(".conf"));
    QVERIFY(writeFile(configPath, config));
    const QString path = captureTo(QStringLiteral("later-") + name);

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
    QCOMPARE(qsizetype(readWav(path).samples.size()), 100 * kFramesPerMs);
}

int main(int argc, char *argv[])
{
    // The test without a sound device re-runs this program, so that all it prints can be seen
    // apart from QtTest's own output.
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runWithoutSoundDevice(argc, argv);
    QCoreApplication app(argc, argv);
    TstAlsaTone test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alsatone.moc"
