// Follow latency and idle cost of the tail engine (fake window, real file, real timers), printed
// as tab-separated rows: the time from an append to the view holding the new line with change
// notifications against the timer alone (same run), and the CPU time the engine takes per second
// while following a file that does not change.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "bench_stats.h"
#include "engine/clock.h"
#include "engine/tail_state.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/fake_tail_window.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop, sleeping between events, for ms milliseconds.
void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Follower {
public:
    Follower(const QString& file, int debounceMs) {
        params_.LoadParams();
        params_.usethread = true; // the program's default
        manager_.LoadFromRegistry();
        window_.linesThatFit = 40;
        deps_.window = &window_;
        deps_.manager = &manager_;
        deps_.params = &params_;
        deps_.clock = &clock_;
        engine_ = std::make_unique<TailEngine>(deps_, 1000, debounceMs);
        engine_->SetTailStatus(tsStop); // the stop shows the last tailed name: type the file after it
        window_.fileNameText = file;
        engine_->SetTailStatus(tsStart);
    }
    ~Follower() { engine_->SetTailStatus(tsStop); }
    QString View() const { return window_.ViewText(); }

private:
    TTailParam params_;
    TTailFileManager manager_;
    FakeTailWindow window_;
    SystemClock clock_;
    EngineDeps deps_;
    std::unique_ptr<TailEngine> engine_;
};

// Milliseconds from each append to its line in the view; appends at random phases of the timer.
std::vector<double> Latencies(const QString& file, int debounceMs, int samples) {
    Follower follower(file, debounceMs);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> pause(50, 1000);
    std::vector<double> ms;
    for (int i = 0; i < samples; ++i) {
        RunEventsFor(pause(random));
        const QByteArray marker = "line " + QByteArray::number(i) + " of " + QByteArray::number(debounceMs);
        QFile out(file);
        if (!out.open(QIODevice::Append))
            std::exit(1);
        QElapsedTimer timer;
        timer.start();
        out.write(marker + '\n');
        out.close();
        while (!follower.View().contains(QString::fromLatin1(marker)) && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}

} // namespace

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
    const std::vector<double> timer = Latencies(file, -1, 25);
    const std::vector<double> notified = Latencies(file, kChangeDebounceMs, 25);
    std::printf("append_to_view_timer_only\t%.1f\t%.1f\t1.00\n", Median(timer),
                *std::max_element(timer.begin(), timer.end()));
    std::printf("append_to_view_notified\t%.1f\t%.1f\t%.3f\n", Median(notified),
                *std::max_element(notified.begin(), notified.end()), Median(notified) / Median(timer));

    for (const int debounce : {-1, kChangeDebounceMs}) {
        Follower idle(file, debounce);
        RunEventsFor(1500); // the first passes
        const double before = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunEventsFor(10000);
        std::printf("idle_cpu_percent_of_a_core_%s\t%.3f\t-\t-\n", debounce < 0 ? "timer_only" : "notified",
                    100 * (CpuSeconds() - before) / (wall.elapsed() / 1e3));
    }
    return 0;
}
