// SPDX-License-Identifier: MIT
// tick-phase [seconds]: runs the real main window and its clock timer, and reports how late each
// tick came after its wall-clock second began, which seconds the clock skipped or showed twice,
// and the CPU time the program used per minute while idle.
#include "platform/clock.h"
#include "windows/form1.h"
#include "windows/look.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

// The system clock, noting the moment of each tick: the tick reads the clock exactly once.
class WatchingClock : public Clock
{
public:
    QDateTime now() const override
    {
        const QDateTime moment = Clock::now();
        readings.push_back(moment.toMSecsSinceEpoch());
        return moment;
    }
    mutable std::vector<qint64> readings;
};

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) {
        return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double percentile(std::vector<qint64> sorted, double p)
{
    const auto index = std::size_t(p * double(sorted.size() - 1) + 0.5);
    return double(sorted[std::min(index, sorted.size() - 1)]);
}

} // namespace

int main(int argc, char *argv[])
{
    // As in main(): no MIT-SHM, so a repaint needs no round trip to the X server.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 60;
    look::apply(app);
    WatchingClock clock;
    Clock::install(&clock);

    Form1 window;
    window.show();

    // The first ticks pay for start-up (fonts, first paint); measure from the third on.
    double cpuAtStart = 0;
    std::size_t firstMeasured = 0;
    QTimer::singleShot(2500, Qt::PreciseTimer, &app, [&] {
        cpuAtStart = cpuMs();
        firstMeasured = clock.readings.size();
    });
    QTimer::singleShot(2500 + seconds * 1000, Qt::PreciseTimer, &app, &QApplication::quit);
    app.exec();
    const double cpuUsed = cpuMs() - cpuAtStart;
    Clock::install(nullptr);

    const std::vector<qint64> readings(clock.readings.begin() + qsizetype(firstMeasured),
                                       clock.readings.end());
    if (readings.size() < 2) {
        std::fprintf(stderr, "tick-phase: too few ticks (%zu)\n", readings.size());
        return 1;
    }
    std::vector<qint64> late;
    int skipped = 0;
    int repeated = 0;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        late.push_back(readings[i] % 1000);
        if (i == 0)
            continue;
        const qint64 step = readings[i] / 1000 - readings[i - 1] / 1000;
        if (step == 0)
            ++repeated;
        else if (step > 1)
            skipped += int(step - 1);
    }
    std::sort(late.begin(), late.end());
    std::printf("ticks: %zu over %d s\n", readings.size(), seconds);
    std::printf("lateness after the second boundary (ms): median %.0f, p99 %.0f, max %.0f\n",
                percentile(late, 0.5), percentile(late, 0.99), double(late.back()));
    std::printf("seconds skipped: %d, shown twice: %d\n", skipped, repeated);
    std::printf("CPU time: %.1f ms per minute\n", cpuUsed * 60.0 / seconds);
    return 0;
}
