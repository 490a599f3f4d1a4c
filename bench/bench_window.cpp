// The real tail window (offscreen) on the passes the engine hands it.
//   pass50k: a pass over a 50 KiB file that has grown by a line, through the real window in worker
//     mode (the default), in timer mode and hidden (no paint), against the same pass through the
//     fake window, same run.
//   big: a 128 MiB window on a 1 GiB log (sparse head, 192 MiB of lines at its end) growing by
//     100 lines/s: the first view, the window thread's longest stall measured from inside by a
//     10 ms probe timer (during the first view and while following), and the process's memory.
// Optional argument: the case to run ("pass50k" or "big"). Prints tab-separated rows.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "bench_stats.h"
#include "engine/tail_state.h"
#include "pass_runner.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "synthetic_log.h"
#include "tools/silent_services.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"
#include "window/tail_widgets.h"

namespace {

// A field of /proc/self/status in MiB (VmRSS, VmHWM).
double StatusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

struct Window {
    SilentDialogs dialogs;
    NoSound sound;
    NoMail mail;
    NoNotifications notifications;
    std::unique_ptr<TFormTail> form;

    // ticksByHand: no timer and no change notifications; else the program's own.
    Window(const QString& file, bool ticksByHand) {
        TailWindowServices services;
        services.dialogs = &dialogs;
        services.sound = &sound;
        services.mail = &mail;
        services.notifier = &notifications;
        services.joinInstances = false;
        services.arguments = {QStringLiteral("kovra")};
        if (ticksByHand) {
            services.tickIntervalMs = 3600 * 1000;
            services.changeDebounceMs = -1;
        }
        form = std::make_unique<TFormTail>(services);
        form->resize(900, 700);
        form->show();
        form->Widgets().EditComboBox->setText(file);
    }
    ~Window() {
        form->SetTailStatus(tsStop);
        form->close();
    }
    TailEngine& Engine() { return form->Engine(); }
    TBaseTailFile& Def() { return *form->Manager().List->DefFile; }
};

void WaitWhileBusy(TailEngine& engine) {
    while (engine.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

void AppendLine(const QString& path, int number) {
    QFile file(path);
    file.open(QIODevice::Append);
    file.write("2026-12-09 09:14:02.613 INFO  [bench] appended line " + QByteArray::number(number) + '\n');
}

// Milliseconds of one tick after a line was appended to the file, paint included.
double RealPassMs(Window& window, const QString& path, int number) {
    AppendLine(path, number);
    WaitWhileBusy(window.Engine());
    QElapsedTimer timer;
    timer.start();
    window.Engine().Tick();
    WaitWhileBusy(window.Engine());
    return timer.nsecsElapsed() / 1e6;
}

void Pass50k(const QTemporaryDir& dir) {
    const QString log = dir.filePath(QStringLiteral("50k.log"));
    QFile file(log);
    file.open(QIODevice::WriteOnly);
    file.write(SyntheticLog(50 * 1024));
    file.close();
    constexpr int kRuns = 101;

    PassRunner fake(log, 100 * 1024);
    fake.SetIncremental(true); // as the real window follows the growing file
    std::vector<double> fakeMs;
    for (int i = 0; i < kRuns; ++i) {
        AppendLine(log, i);
        fakeMs.push_back(fake.Pass(false) * 1e3);
    }

    std::printf("case\tmedian_ms\tmax_ms\tratio_to_fake_window\n");
    std::printf("pass_50KiB_fake_window\t%.3f\t%.3f\t1.00\n", Median(fakeMs),
                *std::max_element(fakeMs.begin(), fakeMs.end()));
    for (const auto& [worker, shown] : {std::pair{true, true}, {false, true}, {true, false}}) {
        Window window(log, true);
        if (!shown)
            window.form->hide();
        window.Def().SetBufferkoVal(100);
        window.Def().SetAutotimer(false);
        window.form->Params().usethread = worker;
        window.form->SetTailStatus(tsStart);
        WaitWhileBusy(window.Engine());
        std::vector<double> realMs;
        for (int i = 0; i < kRuns; ++i)
            realMs.push_back(RealPassMs(window, log, i));
        std::printf("pass_50KiB_real_window_%s%s\t%.3f\t%.3f\t%.2f\n", worker ? "worker" : "timer",
                    shown ? "" : "_hidden", Median(realMs), *std::max_element(realMs.begin(), realMs.end()),
                    Median(realMs) / Median(fakeMs));
        if (worker && shown) {
            // What one paint of the view costs, for its share of the pass.
            std::vector<double> viewMs;
            for (int i = 0; i < kRuns; ++i) {
                QElapsedTimer timer;
                timer.start();
                window.form->Widgets().MemoTail->viewport()->repaint();
                viewMs.push_back(timer.nsecsElapsed() / 1e6);
            }
            std::printf("paint_of_the_view\t%.3f\t%.3f\t%.2f\n", Median(viewMs),
                        *std::max_element(viewMs.begin(), viewMs.end()), Median(viewMs) / Median(fakeMs));
        }
    }
}

// Appends 100 numbered lines a second until stopped.
class Writer {
public:
    explicit Writer(const QString& path) : thread_([this, path] { Run(path); }) {}
    ~Writer() {
        stop_ = true;
        thread_.join();
    }
    int Written() const { return written_; }

private:
    void Run(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::Append))
            return;
        const auto start = std::chrono::steady_clock::now();
        while (!stop_) {
            file.write("2026-12-09 09:14:02.613 INFO  [bench] appended line " + QByteArray::number(written_) +
                       '\n');
            file.flush();
            ++written_;
            std::this_thread::sleep_until(start + std::chrono::milliseconds(10) * written_.load());
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<int> written_{0};
    std::thread thread_;
};

// The window thread's lateness, measured by a 10 ms timer: each firing later than due is a stall.
class StallProbe {
public:
    // note: what to say about a stall over 50 ms (to stderr, as a comment line).
    explicit StallProbe(std::function<QString()> note = {}) : note_(std::move(note)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double gap = clock_.nsecsElapsed() / 1e6;
            clock_.restart();
            worst_ = std::max(worst_, gap - 10);
            if (gap - 10 > 50 && note_)
                std::fprintf(stderr, "# stall of %.0f ms, then: %s\n", gap - 10, qPrintable(note_()));
        });
        clock_.start();
        timer_.start();
    }
    // The longest stall since the last call, in ms.
    double TakeWorst() { return std::exchange(worst_, 0.0); }

private:
    std::function<QString()> note_;
    QTimer timer_;
    QElapsedTimer clock_;
    double worst_ = 0;
};

void RunFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void Big(const QTemporaryDir& dir) {
    constexpr qint64 kWindowMiB = 128;
    constexpr qint64 kTextMiB = 192;
    const QString log = dir.filePath(QStringLiteral("big.log"));
    {
        QFile file(log);
        file.open(QIODevice::WriteOnly);
        file.resize((qint64(1024) - kTextMiB) << 20); // a sparse head
        file.seek(file.size());
        const QByteArray piece = SyntheticLog(qint64(8) << 20);
        for (qint64 written = 0; written < (kTextMiB << 20); written += piece.size())
            file.write(piece);
    }
    const double baseRss = StatusMiB("VmRSS:");
    Window window(log, false);
    window.Def().SetBufferkoVal(int(kWindowMiB * 1024));
    window.Def().SetAutotimer(false);
    const double windowRss = StatusMiB("VmRSS:");
    StallProbe probe([&window] { return window.form->Widgets().RzStatusPanesSTATE->text(); });
    RunFor(200);
    probe.TakeWorst();
    // The same probe on the idle window: what the machine's load alone costs it.
    RunFor(10000);
    const double idleStall = probe.TakeWorst();

    QElapsedTimer first;
    first.start();
    window.form->SetTailStatus(tsStart);
    TailView* view = window.form->Widgets().MemoTail;
    while (view->LineCount() == 0 && first.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double firstViewS = first.elapsed() / 1e3;
    const double firstStall = probe.TakeWorst();

    QStringList passTimes; // the time pane after each pass
    double steadyStall = 0;
    int lastShown = -1;
    {
        Writer writer(log);
        QElapsedTimer steady;
        steady.start();
        const auto* timePane = window.form->Widgets().RzStatusPaneTime;
        while (steady.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (passTimes.isEmpty() || passTimes.last() != timePane->text())
                passTimes << timePane->text();
        }
        steadyStall = probe.TakeWorst();
        const QString last = view->Snapshot().Line(view->LineCount() - 1);
        lastShown = last.section(u' ', -1).toInt();
        std::fprintf(stderr, "# written %d lines, the view ends with line %d\n", writer.Written(), lastShown);
    }
    const double peakRss = StatusMiB("VmHWM:");
    const double endRss = StatusMiB("VmRSS:");
    const double target = 1.5 * kWindowMiB + 60;
    std::printf("case\tfigure\treference\tratio\n");
    std::printf("big128MiB_first_view_s\t%.2f\t-\t-\n", firstViewS);
    std::printf("idle_window_longest_stall_10s_ms\t%.1f\t100 (target)\t%.2f\n", idleStall, idleStall / 100);
    std::printf("big128MiB_longest_stall_first_view_ms\t%.1f\t%.1f (idle window)\t%.2f\n", firstStall,
                idleStall, firstStall / idleStall);
    std::printf("big128MiB_longest_stall_following_30s_ms\t%.1f\t%.1f (idle window)\t%.2f\n", steadyStall,
                idleStall, steadyStall / idleStall);
    // The time pane reads "T=0.021s"; the first entry is the first view's pass.
    std::vector<double> passMs;
    for (qsizetype i = 1; i < passTimes.size(); ++i)
        passMs.push_back(passTimes[i].mid(2).chopped(1).toDouble() * 1e3);
    if (!passMs.empty())
        std::printf("big128MiB_pass_following_median_ms\t%.1f\t%.1f (max)\t-\n", Median(passMs),
                    *std::max_element(passMs.begin(), passMs.end()));
    std::printf("big128MiB_rss_peak_MiB\t%.0f\t%.0f (1.5 x window + 60)\t%.2f\n", peakRss, target,
                peakRss / target);
    std::printf("big128MiB_rss_following_MiB\t%.0f\t%.0f (1.5 x window + 60)\t%.2f\n", endRss, target,
                endRss / target);
    std::printf("big128MiB_rss_before_start_MiB\t%.0f\t%.0f (before the window)\t-\n", windowRss, baseRss);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (only.isEmpty() || only == QLatin1String("pass50k"))
        Pass50k(dir);
    if (only.isEmpty() || only == QLatin1String("big"))
        Big(dir);
    return 0;
}
