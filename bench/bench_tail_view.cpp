// The view's snapshot and widget on big windows, against the landed view (a QPlainTextEdit
// filled with setPlainText) and against a copy of the window's bytes, measured in the same run.
// Prints one tab-separated row per figure: the median of several runs, the reference and their
// ratio. Optional argument: "quick" skips the gigabyte line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "bench_stats.h"
#include "engine/view_snapshot.h"
#include "heap_meter.h"
#include "synthetic_log.h"
#include "widgets/line_colors.h"
#include "widgets/tail_view.h"

namespace {

void Row(const char* size, const char* figure, double value, const char* unit, const char* reference,
         double referenceValue) {
    std::printf("%s\t%s\t%.3f %s\t%s\t%.3f %s\t%.4g\n", size, figure, value, unit, reference, referenceValue,
                unit, referenceValue > 0 ? value / referenceValue : 0.0);
    std::fflush(stdout);
}

// A million short lines, as a busy service writes them (about 70 bytes each).
QByteArray MillionLineLog() {
    QByteArray log;
    log.reserve(80 << 20);
    for (int i = 0; i < 1000000; ++i)
        log += QStringLiteral("2024-05-01 12:%1:%2 web01 app[4242]: request %3 served in %4 ms\n")
                   .arg(i / 60000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i / 1000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i)
                   .arg(i % 997)
                   .toLatin1();
    return log;
}

QList<QByteArray> LinesOf(const QByteArray& log) {
    QList<QByteArray> lines = log.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

ViewSnapshot Build(const QList<QByteArray>& lines) {
    ViewSnapshotBuilder builder;
    for (const QByteArray& line : lines)
        builder.AppendUtf8(line);
    return builder.Build();
}

double PaintMs(QWidget* viewport) {
    QImage image(viewport->size(), QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    viewport->render(&image);
    return timer.nsecsElapsed() / 1e6;
}

// The landed view's cost on the same text: setPlainText, a page scroll with its paint, the heap.
struct PlainTextFigures {
    double fillMs = 0;
    double pageMs = 0;
    double heapBytes = 0;
};

PlainTextFigures MeasurePlainText(const QString& text, int runs) {
    PlainTextFigures figures;
    QPlainTextEdit edit;
    edit.setReadOnly(true);
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.resize(1280, 1024);
    edit.show();
    const std::size_t before = heap_meter::Live();
    figures.fillMs = MedianMs(runs, [&] { edit.setPlainText(text); });
    figures.heapBytes = double(heap_meter::Live() - before);
    QScrollBar* bar = edit.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    PaintMs(edit.viewport());
    std::vector<double> ms;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(bar->value() + bar->pageStep());
        PaintMs(edit.viewport());
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    figures.pageMs = Median(ms);
    return figures;
}

// Scroll by a page and paint it, with the layouts of that page new.
double PageMs(TailView& view) {
    std::vector<double> ms;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer timer;
        timer.start();
        view.ScrollLines(view.LinesThatFit());
        PaintMs(view.viewport());
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return Median(ms);
}

void MeasureWindow(const char* size, const QByteArray& log, bool withPlainText) {
    const QList<QByteArray> lines = LinesOf(log);
    const double bytes = double(log.size());
    const std::size_t heapBefore = heap_meter::Live();
    ViewSnapshot snapshot = Build(lines);
    const double heapHeld = double(heap_meter::Live() - heapBefore);
    std::printf("# %s: %lld lines, %lld bytes of text\n", size, static_cast<long long>(snapshot.LineCount()),
                static_cast<long long>(snapshot.ByteCount()));
    // The floor of any whole-window rebuild: one copy of its bytes into a buffer already in use.
    QByteArray copy(log.size(), '\0');
    const double copyMs = MedianMs(5, [&] { std::memcpy(copy.data(), log.constData(), size_t(log.size())); });
    Row(size, "snapshot_heap/text_bytes", heapHeld / bytes, "x", "utf16_text/text_bytes", 2.0);

    Row(size, "build_from_scratch", MedianMs(3, [&] { Build(lines); }), "ms", "memcpy_window", copyMs);
    PlainTextFigures plain;
    if (withPlainText) {
        plain = MeasurePlainText(QString::fromUtf8(log), 3);
        Row(size, "snapshot_heap/text_bytes", heapHeld / bytes, "x", "plaintextedit_heap/text_bytes",
            plain.heapBytes / bytes);
    }

    // A steady pass: 100 lines leave the window, 100 arrive.
    ViewSnapshotBuilder builder(snapshot);
    qsizetype next = 0;
    const double stepMs = MedianMs(21, [&] {
        builder.DropFront(100);
        for (int i = 0; i < 100; ++i)
            builder.AppendUtf8(lines[next++ % lines.size()]);
        snapshot = builder.Build();
    });
    Row(size, "next_snapshot_drop100_append100", stepMs, "ms", "memcpy_window", copyMs);

    for (const bool wrap : {false, true}) {
        TailView view;
        view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
        view.resize(1280, 1024);
        view.SetWrap(wrap);
        view.show();
        const std::string prefix = wrap ? "wrap_" : "nowrap_";
        // Publishing a pass's snapshot (built untimed) and following to its end.
        const double publishMs = MedianMs(
            21,
            [&] {
                view.SetSnapshot(snapshot);
                view.ScrollToEnd();
            },
            [&] {
                builder.DropFront(100);
                for (int i = 0; i < 100; ++i)
                    builder.AppendUtf8(lines[next++ % lines.size()]);
                snapshot = builder.Build();
            });
        Row(size, (prefix + "set_snapshot_and_follow").c_str(), publishMs, "ms",
            withPlainText ? "plaintextedit_setPlainText" : "memcpy_window",
            withPlainText ? plain.fillMs : copyMs);
        view.SetFirstVisibleLine(view.LineCount() / 3);
        const double pageMs = PageMs(view);
        Row(size, (prefix + "page_scroll_and_paint").c_str(), pageMs, "ms",
            withPlainText ? "plaintextedit_page_scroll_and_paint" : "memcpy_window",
            withPlainText ? plain.pageMs : copyMs);
        const double coldMs = MedianMs(
            9, [&] { PaintMs(view.viewport()); }, [&] { view.InvalidateMarks(); });
        const double warmMs = MedianMs(9, [&] { PaintMs(view.viewport()); });
        Row(size, (prefix + "full_screen_paint_new_layouts").c_str(), coldMs, "ms",
            "same_paint_cached_layouts", warmMs);
    }
}

void MeasureGigabyteLine() {
    const char* size = "1GiB_line";
    QByteArray zeros(qsizetype(1) << 30, '\0');
    double copyMs = 0;
    {
        QByteArray copy(zeros.size(), '\1');
        copyMs = MedianMs(3, [&] { std::memcpy(copy.data(), zeros.constData(), size_t(zeros.size())); });
    }
    const std::size_t heapBefore = heap_meter::Live();
    ViewSnapshot snapshot;
    const double buildMs = MedianMs(3, [&] {
        ViewSnapshotBuilder builder;
        builder.Append(QStringLiteral("before"));
        builder.AppendUtf8(zeros);
        builder.Append(QStringLiteral("after"));
        snapshot = builder.Build();
    });
    Row(size, "build_sharing_the_bytes", buildMs, "ms", "memcpy_line", copyMs);
    Row(size, "snapshot_heap_beyond_the_line/line_bytes",
        double(heap_meter::Live() - heapBefore) / zeros.size(), "x", "line_bytes", 1.0);
    for (const bool wrap : {false, true}) {
        TailView view;
        view.resize(1280, 1024);
        view.SetWrap(wrap);
        view.show();
        view.SetSnapshot(snapshot);
        view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
        const double paintMs = MedianMs(
            5, [&] { PaintMs(view.viewport()); }, [&] { view.InvalidateMarks(); });
        Row(size, wrap ? "wrap_paint" : "nowrap_paint_scrolled_to_middle", paintMs, "ms", "memcpy_line",
            copyMs);
    }
}

// A screen of a busy service's log painted with its layouts new (as after a scroll or a new pass),
// coloured by level and marked by five highlight rules (one of them whole-line), against the same
// screen with neither; the two alternate within each round.
void MeasureLineColors() {
    const char* levels[] = {"INFO", "INFO", "WARN", "INFO", "ERROR", "INFO", "DEBUG", "INFO"};
    ViewSnapshotBuilder builder;
    for (int i = 0; i < 200000; ++i)
        builder.Append(
            QStringLiteral("2024-05-01 12:%1:%2 web0%3 app[4242]: %4 request req-%5 served in %6 ms "
                           "user=u%7")
                .arg(i / 60000 % 60, 2, 10, QLatin1Char('0'))
                .arg(i / 1000 % 60, 2, 10, QLatin1Char('0'))
                .arg(i % 4)
                .arg(QLatin1String(levels[i % 8]))
                .arg(i)
                .arg(i % 997)
                .arg(i % 50));
    TailView view;
    view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    view.resize(1280, 1024);
    view.show();
    view.SetSnapshot(builder.Build());
    view.SetFirstVisibleLine(view.LineCount() / 2);
    const LineColorSettings settings{true,
                                     {{QStringLiteral("req-\\d*7\\b"), 0x0080FFFF, false},
                                      {QStringLiteral("web0[12]"), 0x0090EE90, false},
                                      {QStringLiteral("served in 9\\d\\d ms"), 0x00FFD8A0, true},
                                      {QStringLiteral("user=u4\\d"), 0x00D0B0FF, false},
                                      {QStringLiteral("(?i)timeout|refused"), 0x0080C0FF, false}},
                                     {},
                                     {}};
    std::vector<double> plain, coloured;
    for (int round = 0; round < 15; ++round) {
        view.InvalidateMarks();
        plain.push_back(PaintMs(view.viewport()));
        {
            LineColorizer colors(view, [&] { return settings; });
            view.InvalidateMarks();
            coloured.push_back(PaintMs(view.viewport()));
        }
        view.ScrollLines(view.LinesThatFit());
    }
    Row("1280x1024", "screen_paint_new_layouts_levels_and_5_rules", Median(coloured), "ms",
        "same_screen_plain", Median(plain));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = argc > 1 && QByteArray(argv[1]) == "quick";
    std::printf("window\tfigure\tmedian\treference\treference_value\tratio\n");
    MeasureLineColors();
    MeasureWindow("1M_lines", MillionLineLog(), true);
    MeasureWindow("128MiB", SyntheticLog(qint64(128) << 20), false);
    if (!quick)
        MeasureGigabyteLine();
    return 0;
}
