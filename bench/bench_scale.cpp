// The real tail window (offscreen) on one big log, for read windows from 50 KiB to the whole file
// (a read buffer of 0): the process's memory, the first view (the end shown, every line indexed,
// a find counted over all of them), the window thread's longest stall, and the CPU of following
// the log while a writer appends 100, 1,000 and 20,000 lines a second (one write a line, as a
// logger does), then of the window at rest on the unchanged file. Each window size runs in a
// process of its own, so its memory peak is its own. The log lives in build/logs and goes at the
// end.
// Arguments (all optional): the log's size in MiB (4096), seconds per rate (10), seconds at
// 20,000 lines a second on the whole file (60).
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include "bench_stats.h"
#include "engine/tail_state.h"
#include "real_window.h"
#include "settings/uList.h"
#include "synthetic_log.h"
#include "widgets/find_count.h"
#include "widgets/tail_view.h"
#include "widgets/view_find.h"
#include "window/tail_widgets.h"

namespace {

constexpr int kIdleSeconds = 20;

void Row(const QString& label, const QByteArray& what, double figure, const char* reference, double target) {
    std::printf("%s_%s\t%.2f\t%s\t%.2f\n", qPrintable(label), what.constData(), figure, reference,
                target > 0 ? figure / target : 0.0);
    std::fflush(stdout);
}

// Lines of the synthetic log, whole, up to `mib` MiB.
bool MakeLog(const QString& path, qint64 mib) {
    QFile file(path);
    if (file.exists() && file.size() >= (mib << 20))
        return true;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray piece = SyntheticLog(qint64(64) << 20);
    piece.truncate(piece.lastIndexOf('\n') + 1);
    while (file.size() < (mib << 20))
        if (file.write(piece) != piece.size())
            return false;
    return true;
}

// Handles events until the condition holds, looking every 2 ms; false after the deadline.
bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        RunFor(2);
    }
    return true;
}

QString LastLineOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(std::max<qint64>(0, file.size() - 4096)))
        return {};
    QByteArray tail = file.readAll();
    tail.chop(1);
    return QString::fromUtf8(tail.mid(tail.lastIndexOf('\n') + 1));
}

// The view's last line with its blanks as kill space leaves them, which is the default.
QString ShownLast(TailView* view) {
    return view->LineCount() ? view->Snapshot().Line(view->LineCount() - 1).simplified() : QString();
}

// The first view, then following at each rate, then rest; one row per figure.
int Child(const QString& log, int ko, int perRate, int whole20k) {
    const QString label = ko == 0     ? QStringLiteral("whole_file")
                          : ko < 1024 ? QStringLiteral("%1KiB").arg(ko)
                                      : QStringLiteral("%1MiB").arg(ko / 1024);
    const double startRss = StatusMiB("VmRSS:");
    RealWindow window(log, false);
    window.Def().SetBufferkoVal(ko);
    window.Def().SetAutotimer(false);
    TailView* view = window.form->Widgets().MemoTail;
    const QString last = LastLineOf(log).simplified();
    double stall = 0;
    {
        StallProbe probe;
        RunFor(200);
        probe.TakeWorst();
        QElapsedTimer clock;
        clock.start();
        window.form->SetTailStatus(tsStart);
        if (!WaitFor([&] { return ShownLast(view) == last; }, 120000))
            std::fprintf(
                stderr, "# %s: the end did not show; the view ends with \"%s\", the log with \"%s\"\n",
                qPrintable(label), qPrintable(ShownLast(view).left(100)), qPrintable(last.left(100)));
        const double endShown = clock.elapsed() / 1e3;
        WaitFor([&] { return !window.Engine().Busy(); }, 600000);
        const double indexed = clock.elapsed() / 1e3;
        ViewFind find;
        find.Attach(*view);
        QElapsedTimer counting;
        counting.start();
        find.SetQuery({QStringLiteral("timeout"), false, false});
        WaitFor([&] { return find.Count().has_value(); }, 600000);
        const double counted = counting.elapsed() / 1e3;
        find.Close();
        stall = probe.TakeWorst();
        Row(label, "first_view_end_shown_s", endShown, "1 s (target)", 1);
        Row(label, "first_view_indexed_s", indexed, "10 s (target)", 10);
        Row(label, "find_count_all_lines_s", counted, "10 s (target)", 10);
        Row(label, "first_view_longest_stall_ms", stall, "100 ms (target)", 100);
        Row(label, "rss_after_first_view_MiB", StatusMiB("VmRSS:") - startRss, "above the process before", 0);
    }
    for (const int rate : {100, 1000, 20000}) {
        const int seconds = rate == 20000 && ko == 0 ? whole20k : perRate;
        StallProbe probe;
        qint64 worstLag = 0;
        QTimer sample;
        const double cpuStart = ProcessCpuSeconds();
        LogWriter writer(log, rate);
        QObject::connect(&sample, &QTimer::timeout, [&] {
            const qint64 shown = ShownLast(view).section(u' ', -1).toLongLong();
            worstLag = std::max(worstLag, writer.Written() - 1 - shown);
        });
        sample.start(100);
        RunFor(seconds * 1000);
        sample.stop();
        const double writerCpu = writer.Stop();
        const double cpu = ProcessCpuSeconds() - cpuStart - writerCpu;
        const QString lastWritten = QString::fromUtf8(AppendedLine(writer.Written() - 1)).simplified();
        QElapsedTimer lag;
        lag.start();
        WaitFor([&] { return ShownLast(view) == lastWritten; }, 10000);
        const QByteArray name = "follow_" + QByteArray::number(rate) + "_lines_s_";
        Row(label, name + "cpu_pct", cpu / seconds * 100, rate >= 20000 ? "30 % (target)" : "3 % (target)",
            rate >= 20000 ? 30 : 3);
        Row(label, name + "view_lag_after_ms", lag.elapsed(), "16.7 ms (one refresh)", 16.7);
        Row(label, name + "worst_lag_lines", double(worstLag), "lines written in a refresh", rate / 60.0);
        Row(label, name + "longest_stall_ms", probe.TakeWorst(), "100 ms (target)", 100);
    }
    RunFor(2000);
    const double idleStart = ProcessCpuSeconds();
    RunFor(kIdleSeconds * 1000);
    Row(label, "idle_cpu_pct", (ProcessCpuSeconds() - idleStart) / kIdleSeconds * 100, "0.1 % (target)", 0.1);
    Row(label, "rss_peak_MiB", StatusMiB("VmHWM:"), ko == 0 ? "300 MiB (target)" : "150 MiB (target)",
        ko == 0 ? 300 : 150);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 6 && QByteArray(argv[1]) == "child") {
        const BenchFolders folders; // settings of its own
        QApplication app(argc, argv);
        return Child(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
    }
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? atoll(argv[1]) : 4096;
    const QString perRate = argc > 2 ? argv[2] : QStringLiteral("10");
    const QString whole20k = argc > 3 ? argv[3] : QStringLiteral("60");
    const QString logs =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../../logs"));
    QDir().mkpath(logs);
    const QString log = logs + QStringLiteral("/scale.log");
    if (!MakeLog(log, mib)) {
        std::fprintf(stderr, "bench_scale: cannot write %s\n", qPrintable(log));
        return 1;
    }
    std::printf("case\tfigure\treference\tratio\n");
    std::fflush(stdout);
    std::fprintf(stderr, "# log of %lld MiB; grep -c '' on it: %.2f s\n", mib, GrepSeconds({"-c", "", log}));
    for (const int ko : {50, 16 << 10, 128 << 10, 0}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("child"), log, QString::number(ko), perRate, whole20k});
        child.waitForFinished(-1);
    }
    QFile::remove(log);
    return 0;
}
