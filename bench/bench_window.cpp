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
#include "real_window.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "synthetic_log.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"
#include "window/tail_widgets.h"

namespace {

// Milliseconds of one tick after a line was appended to the file, paint included.
double RealPassMs(RealWindow& window, const QString& path, int number) {
    AppendTo(path, AppendedLine(number));
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
        AppendTo(log, AppendedLine(i));
        fakeMs.push_back(fake.Pass(false) * 1e3);
    }

    std::printf("case\tmedian_ms\tmax_ms\tratio_to_fake_window\n");
    std::printf("pass_50KiB_fake_window\t%.3f\t%.3f\t1.00\n", Median(fakeMs),
                *std::max_element(fakeMs.begin(), fakeMs.end()));
    for (const auto& [worker, shown] : {std::pair{true, true}, {false, true}, {true, false}}) {
        RealWindow window(log, true);
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
    RealWindow window(log, false);
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
        LogWriter writer(log, 100);
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
        std::fprintf(stderr, "# written %lld lines, the view ends with line %d\n",
                     static_cast<long long>(writer.Written()), lastShown);
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
