// SPDX-License-Identifier: MIT
#pragma once

// A private sound server of the kind desktops route ALSA's default device to, on sockets in a
// folder of the test's: PulseAudio, or PipeWire with its session manager and PulseAudio front end.
// A null sink stands for the speakers and parec records its monitor, asking for the latency
// given in milliseconds (0: the server's default, as a card's sink runs when no program asks
// for less). A quantum other than 0 forces PipeWire's graph to it, as power-saving set-ups and
// Bluetooth headsets do. Starting it points this process's ALSA default device at it.

#include "tests/support/samples.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <vector>

namespace sound {

enum class Server { PulseAudio, PipeWire };

class PrivateServer
{
public:
    PrivateServer(Server kind, const QString &folder, int recordLatencyMs, int quantum = 0)
        : m_kind(kind), m_folder(folder), m_recordLatencyMs(recordLatencyMs), m_quantum(quantum)
    {}
    ~PrivateServer() { kill(); }
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    // Starts the server and its sink; false with the reason in lastError() if it did not come up.
    bool start()
    {
        if (!writeAlsaConfig())
            return false;
        qputenv("ALSA_CONFIG_PATH", path("alsa.conf").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_folder.toLocal8Bit());
        qputenv("PULSE_SERVER", "unix:" + path("pulse/native").toLocal8Bit());
        // A bus of its own: PulseAudio claims a name on the session bus and gives up when another
        // test's server holds it, and without one it launches a bus for the X display. PipeWire's
        // session manager gives up at once when the bus is not there yet.
        const QString bus = QStringLiteral("unix:path=") + path("bus");
        if (!launchServing("bus", QStringLiteral("dbus-daemon"),
                           {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--address=") + bus}))
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.toLocal8Bit());
        if (m_kind == Server::PulseAudio) {
            launch(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                    QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=ringlo"),
                    QStringLiteral("-L"),
                    QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                        path("pulse/native")});
            m_server = m_processes.back().get();
            return ready();
        }
        // PipeWire's session manager gives up at once when PipeWire is not there yet.
        if (!launchServing("pipewire-0", QStringLiteral("pipewire"), {}))
            return false;
        m_server = m_processes.back().get();
        launch(QStringLiteral("wireplumber"), {});
        launch(QStringLiteral("pipewire-pulse"), {});
        return ready() &&
               pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                      QStringLiteral("sink_name=ringlo")}) &&
               pactl({QStringLiteral("set-default-sink"), QStringLiteral("ringlo")}) &&
               (m_quantum == 0 ||
                run(QStringLiteral("pw-metadata"),
                    {QStringLiteral("-n"), QStringLiteral("settings"), QStringLiteral("0"),
                     QStringLiteral("clock.force-quantum"), QString::number(m_quantum)}) ||
                failed(QStringLiteral("pw-metadata did not set the quantum")));
    }

    // Ends every process at once, as a crash would; start() brings the server up again.
    void kill()
    {
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            (*it)->kill();
            (*it)->waitForFinished(5000);
        }
        m_processes.clear();
        m_server = nullptr;
    }

    // A server that stops answering, and answers again. Should the program under test freeze
    // waiting for it, the server answers again after a while by itself, so the test can tell.
    void pause()
    {
        const QString pid = QString::number(m_server->processId());
        ::kill(pid_t(pid.toLongLong()), SIGSTOP);
        QProcess::startDetached(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("sleep 10; kill -CONT ") + pid});
    }
    void resume() { ::kill(pid_t(m_server->processId()), SIGCONT); }

    // Records the sink's monitor into a new file until the next record() or kill(); returns
    // once the recording runs, false if it does not.
    bool record()
    {
        m_recording = path("recording-%1.raw").arg(++m_recordings);
        QStringList arguments{QStringLiteral("--device=ringlo.monitor"), QStringLiteral("--raw"),
                              QStringLiteral("--format=s16le"),
                              QStringLiteral("--rate=%1").arg(samples::rate),
                              QStringLiteral("--channels=1")};
        if (m_recordLatencyMs > 0)
            arguments.append(QStringLiteral("--latency-msec=%1").arg(m_recordLatencyMs));
        launch(QStringLiteral("parec"), arguments, m_recording);
        // A fresh monitor stream takes a moment, up to seconds, before it delivers anything.
        return QTest::qWaitFor([this] { return QFileInfo(m_recording).size() > 0; }, 10000) ||
               failed(QStringLiteral("the recording did not start"));
    }

    // What the current recording holds so far.
    samples::Samples recorded() const
    {
        QFile file(m_recording);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        samples::Samples result(std::size_t(bytes.size() / 2));
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] =
                qint16(quint8(bytes[qsizetype(2 * i)]) | quint8(bytes[qsizetype(2 * i + 1)]) << 8);
        return result;
    }

    QString lastError() const { return m_error; }

private:
    QString path(const char *name) const { return m_folder + u'/' + QLatin1String(name); }

    QProcess *launch(const QString &program, const QStringList &arguments,
                     const QString &output = QString())
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_folder);
        process->setProcessEnvironment(environment);
        // Nothing outlives a test that crashes.
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process->setStandardErrorFile(path("servers.log"), QIODevice::Append);
        process->setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
        process->start(program, arguments);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    // Waits for the program's socket. The socket a killed server left behind is taken away
    // first, or it would pass for the new one.
    bool launchServing(const char *socket, const QString &program, const QStringList &arguments)
    {
        QFile::remove(path(socket));
        launch(program, arguments);
        return QTest::qWaitFor([this, socket] { return QFile::exists(path(socket)); }, 5000) ||
               failed(program + QStringLiteral(" did not start"));
    }

    // The server takes a moment to know of a sink it was just given, so each call is tried again.
    bool pactl(const QStringList &arguments)
    {
        return QTest::qWaitFor([&arguments] { return run(QStringLiteral("pactl"), arguments); },
                               5000) ||
               failed(QStringLiteral("pactl %1 failed").arg(arguments.join(u' ')));
    }

    bool ready()
    {
        if (QTest::qWaitFor([] { return run(QStringLiteral("pactl"), {QStringLiteral("info")}); },
                            10000))
            return true;
        QFile log(path("servers.log"));
        log.open(QIODevice::ReadOnly);
        return failed(QStringLiteral("the server did not answer:\n") +
                      QString::fromLocal8Bit(log.readAll().right(2000)));
    }

    static bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(2000) && process.exitCode() == 0;
    }

    // Stands alone, so that no configuration of the machine or the user can take over.
    bool writeAlsaConfig()
    {
        QByteArray config = "pcm.!default { type pulse }\n";
        if (m_kind == Server::PipeWire) {
            // Where the package is not installed, scripts/setup has unpacked it into the build.
            const QString name = QStringLiteral("alsa-lib/libasound_module_pcm_pipewire.so");
            QStringList candidates;
            for (const QString &root :
                 {QStringLiteral("/usr/lib"),
                  QStringLiteral(RINGLO_UNPACKED_DIR "/pipewire-alsa/usr/lib")})
                for (const QString &arch : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                    candidates.append(root + u'/' + arch + u'/' + name);
            const auto found = std::find_if(candidates.cbegin(), candidates.cend(),
                                            [](const QString &c) { return QFile::exists(c); });
            const QString plugin = found == candidates.cend() ? QString() : *found;
            if (plugin.isEmpty())
                return failed(
                    QStringLiteral("PipeWire's ALSA plugin is neither installed nor unpacked"));
            config = "pcm_type.pipewire { lib \"" + plugin.toUtf8() +
                     "\" }\npcm.!default { type pipewire }\n";
        }
        QFile file(path("alsa.conf"));
        return (file.open(QIODevice::WriteOnly) && file.write(config) == config.size()) ||
               failed(QStringLiteral("cannot write the ALSA configuration"));
    }

    bool failed(const QString &why)
    {
        m_error = why;
        return false;
    }

    Server m_kind;
    QString m_folder;
    int m_recordLatencyMs;
    int m_quantum;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess *m_server = nullptr;
    QString m_recording;
    int m_recordings = 0;
    QString m_error;
};

} // namespace sound
