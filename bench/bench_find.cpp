// Find and highlighting on a million lines, with references measured in the same run: the count
// of a find (worker, whole snapshot) against `grep -c` on the same bytes, the count again after
// a republish (1000 lines dropped, 1000 appended) against the first count, a scrolled screen
// painted with filter and alert marks against the same screen without them, and the window
// thread's longest wait while costly expressions are typed into the real find bar (five lines of
// 210,000 characters with .*.*ERROR, 25,000 lines with (a+)+$) against a plain text typed alike.
// Prints one tab-separated row per figure: median, reference, ratio.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include "bench_stats.h"
#include "engine/view_snapshot.h"
#include "widgets/find_bar.h"
#include "widgets/find_count.h"
#include "widgets/match_highlight.h"
#include "widgets/tail_view.h"

namespace {

constexpr int kLines = 1000000;
constexpr int kRuns = 5;

void Row(const char* figure, double value, const char* reference, double referenceValue) {
    std::printf("find\t%s\t%.3f ms\t%s\t%.3f ms\t%.4g\n", figure, value, reference, referenceValue,
                referenceValue > 0 ? value / referenceValue : 0.0);
    std::fflush(stdout);
}

QString LineText(int i) {
    return QStringLiteral("2024-05-01 12:%1:%2 web01 app[4242]: request %3 served in %4 ms")
        .arg(i / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(i / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(i)
        .arg(i % 997);
}

qint64 Count(FindCounter& counter, const FindQuery& query, const ViewSnapshot& snapshot, quint64 serial) {
    qint64 total = -1;
    QEventLoop loop;
    const auto connection = QObject::connect(&counter, &FindCounter::counted, [&](auto index) {
        total = index->total;
        loop.quit();
    });
    counter.Count(query, snapshot, serial);
    loop.exec();
    QObject::disconnect(connection);
    return total;
}

// Runs the event loop for ms milliseconds.
void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The longest gap between the ticks of a 5 ms timer while `typed` is typed into the find bar one
// key every 100 ms and for 2 s after: how long the window could not answer.
double LongestStallMs(const ViewSnapshot& snapshot, const QString& typed, bool regex) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new TailView;
    layout->addWidget(view);
    const InstalledFind find = InstallFindBar(*view, *layout);
    view->SetSnapshot(snapshot);
    window.resize(900, 700);
    window.show();
    find.bar->RegularExpression().setChecked(regex);
    find.bar->Open();
    Spin(200);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    last = clock.nsecsElapsed();
    beat.start();
    for (QChar c : typed) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&find.bar->Field(), &press);
        Spin(100);
    }
    Spin(2000);
    find.bar->Close();
    return worst / 1e6;
}

ViewSnapshot LinesOf(int count, const QString& line) {
    ViewSnapshotBuilder builder;
    for (int i = 0; i < count; ++i)
        builder.Append(line);
    return builder.Build();
}

void TypingStalls() {
    // Past 200,000 characters the library no longer looks for the letters an expression needs
    // before trying it, so .*.*E runs for minutes on a line without them.
    const ViewSnapshot longLines = LinesOf(5, QStringLiteral("abcd ").repeated(42000));
    Row("longest stall typing .*.*ERROR, 5 lines of 210,000", LongestStallMs(longLines, ".*.*ERROR", true),
        "typing plain text", LongestStallMs(longLines, "bcd abc", false));
    const ViewSnapshot nested = LinesOf(25000, QString(40, u'a') + u'!');
    Row("longest stall typing (a+)+$, 25,000 lines", LongestStallMs(nested, "(a+)+$", true),
        "typing plain text", LongestStallMs(nested, "aaaa!", false));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TypingStalls();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    ViewSnapshotBuilder builder;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        for (int i = 0; i < kLines; ++i) {
            const QString line = LineText(i);
            builder.Append(line);
            file.write(line.toLatin1() + '\n');
        }
    }
    const ViewSnapshot million = builder.Build();

    // A counter of its own for each full count: a counter reuses its last count of the same query.
    const auto fresh = [](const FindQuery& query, const ViewSnapshot& snapshot) {
        FindCounter counter;
        return Count(counter, query, snapshot, 1);
    };
    const FindQuery literal{QStringLiteral("served in 420 ms"), true, false};
    qint64 found = 0;
    const double count = MedianMs(kRuns, [&] { found = fresh(literal, million); });
    std::printf("find\t(%lld matches of the plain text)\n", static_cast<long long>(found));
    Row("count, plain text", count, "grep -c -F", MedianMs(kRuns, [&] {
            GrepSeconds({"-c", "-F", literal.text, path});
        }));
    const FindQuery regex{QStringLiteral("request \\d+7 SERVED in 4"), false, true};
    Row("count, caseless expression", MedianMs(kRuns, [&] { fresh(regex, million); }), "grep -c -E -i",
        MedianMs(kRuns, [&] {
            GrepSeconds({"-c", "-E", "-i", "request [0-9]+7 SERVED in 4", path});
        }));

    // A tail republishing: each count after the first reuses the last one.
    ViewSnapshotBuilder next(million);
    int appended = kLines;
    ViewSnapshot republished;
    FindCounter counter;
    quint64 serial = 0;
    Count(counter, literal, million, ++serial);
    const double recount = MedianMs(
        kRuns, [&] { Count(counter, literal, republished, ++serial); },
        [&] {
            next.DropFront(1000);
            for (int i = 0; i < 1000; ++i)
                next.Append(LineText(appended++));
            republished = next.Build();
        });
    Row("count after a republish of 1000 lines", recount, "first count", count);

    // A scrolled screen: new lines laid out, with and without the marks.
    TailView view;
    view.resize(900, 700);
    view.show();
    view.SetSnapshot(million);
    qint64 top = 0;
    const auto scroll = [&] { view.SetFirstVisibleLine(top += 5000); };
    const auto paint = [&] { view.viewport()->grab(); };
    constexpr int kScreens = 21;
    const double plain = MedianMs(kScreens, paint, scroll);
    MatchHighlighter highlighter(view, [] {
        return HighlightPatterns{true, false, QStringLiteral("served in \\d+"),
                                 true, false, QStringLiteral("(?i)request \\d+7 ")};
    });
    Row("scrolled screen painted with marks", MedianMs(kScreens, paint, scroll), "without marks", plain);
    return 0;
}
