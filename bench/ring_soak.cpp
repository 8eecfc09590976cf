// SPDX-License-Identifier: MIT
// ring-soak [minutes]: lets an alarm that nobody stops ring into ALSA's null device through the
// real windows and tone, and prints the program's resident memory, open file descriptors and
// threads after the first tones and at the end, with the ratios: a device opened once a second
// for hours must leave nothing behind. It also prints the user-interface thread's CPU time per
// second of ringing, which the tone must not add to.
#include "core/alarm.h"
#include "platform/alsatone.h"
#include "windows/form1.h"
#include "windows/look.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

struct Usage
{
    double residentMiB = 0;
    int fileDescriptors = 0;
    int threads = 0;
    double uiThreadCpuMs = 0;
};

// The thread that runs main() has the process's id; schedstat's first field is its time on a CPU.
double uiThreadCpuMs()
{
    QFile schedstat(
        QStringLiteral("/proc/self/task/%1/schedstat").arg(QCoreApplication::applicationPid()));
    return schedstat.open(QIODevice::ReadOnly)
               ? schedstat.readAll().split(' ').value(0).toDouble() / 1e6
               : 0;
}

Usage usage()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QString text =
        status.open(QIODevice::ReadOnly) ? QString::fromLatin1(status.readAll()) : QString();
    const auto field = [&text](const char *name) {
        const auto match =
            QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(\\d+)")).match(text);
        return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
    };
    return {field("VmRSS") / 1024,
            int(QDir(QStringLiteral("/proc/self/fd"))
                    .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                    .size()),
            int(field("Threads")), uiThreadCpuMs()};
}

void print(const char *when, const Usage &u)
{
    std::printf("%-6s resident %.1f MiB, %d file descriptors, %d threads\n", when, u.residentMiB,
                u.fileDescriptors, u.threads);
}

} // namespace

int main(int argc, char *argv[])
{
    const double minutes = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 10;
    // The tones go nowhere, whatever the machine's own configuration says.
    QTemporaryFile config;
    if (!config.open() || config.write("pcm.!default { type null }\n") < 0 || !config.flush())
        return 1;
    qputenv("ALSA_CONFIG_PATH", config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    look::apply(app);
    AlsaTone tone;
    Tone::install(&tone);

    Form1 window;
    window.show();
    // Due from the start of the current minute, so it rings at the first tick.
    const QDateTime now = QDateTime::currentDateTime();
    alarm().arm(now.toString(QStringLiteral("hh:mm")), QStringLiteral("ring-soak"),
                now.addSecs(-60));

    Usage first;
    QTimer::singleShot(5000, &app, [&first] { print("start", first = usage()); });
    // exit() rather than quit(), which would first ask the windows to close, and the set-alarm
    // window refuses while the main window stands.
    QTimer::singleShot(int(minutes * 60000) + 5000, &app, [] { QCoreApplication::exit(0); });
    app.exec();
    const Usage last = usage();
    print("end", last);
    std::printf("user-interface thread: %.2f ms of CPU per second of ringing\n",
                (last.uiThreadCpuMs - first.uiThreadCpuMs) / (minutes * 60));
    std::printf("ratios end/start: resident %.3f, file descriptors %.3f, threads %.3f\n",
                last.residentMiB / first.residentMiB,
                double(last.fileDescriptors) / first.fileDescriptors,
                double(last.threads) / first.threads);
    return 0;
}
