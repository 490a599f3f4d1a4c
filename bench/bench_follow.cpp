// Follow latency and idle cost of the tail engine (fake window, real file, real timers), printed
// as tab-separated rows: the time from an append to the view holding the new line with change
// notifications against the timer alone (same run), and the CPU time the engine takes per second
// while following a file that does not change.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "bench_stats.h"
#include "follow_probe.h"

int main(int argc, char** argv) {
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    const QTemporaryDir& data = folders.data;
    QCoreApplication app(argc, argv);
    const QString file = data.filePath("follow.log");
    QFile seed(file);
    if (!seed.open(QIODevice::WriteOnly) || seed.write(QByteArray(40000, 'x') + '\n') < 0)
        return 1;
    seed.close();

    std::printf("case\tmedian_ms\tmax_ms\tratio_to_timer_only\n");
    const std::vector<double> timer = Latencies(file, file, -1, 25);
    const std::vector<double> notified = Latencies(file, file, kChangeDebounceMs, 25);
    std::printf("append_to_view_timer_only\t%.1f\t%.1f\t1.00\n", Median(timer),
                *std::max_element(timer.begin(), timer.end()));
    std::printf("append_to_view_notified\t%.1f\t%.1f\t%.3f\n", Median(notified),
                *std::max_element(notified.begin(), notified.end()), Median(notified) / Median(timer));

    for (const int debounce : {-1, kChangeDebounceMs})
        std::printf("idle_cpu_percent_of_a_core_%s\t%.3f\t-\t-\n", debounce < 0 ? "timer_only" : "notified",
                    FollowCpuPercent(file, debounce, 10000));
    return 0;
}
