// Shows the tail view on a real log and saves what it looks like: the end of the log without and
// with wrap, a selection across lines, tab stops, marks with a current match, and a line of 256
// MiB scrolled to its middle; then a log searched with the find bar while its filter and alert
// matches are marked, in day and night colours (find-highlight-day/-night, the README's picture).
// Usage: tail_view_shots OUTPUT_FOLDER [LOG_FILE] (LOG_FILE defaults to /var/log/dpkg.log).
// Run it under xvfb-run or offscreen.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>

#include <QBoxLayout>
#include <QLineEdit>
#include <QTest>

#include "engine/view_snapshot.h"
#include "widgets/find_bar.h"
#include "widgets/match_highlight.h"
#include "widgets/tail_view.h"
#include "widgets/view_find.h"

namespace {

void Save(TailView& view, const QString& folder, const char* name) {
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(QLatin1String(name) + QLatin1String(".png"));
    if (!view.grab().save(path))
        std::fprintf(stderr, "tail_view_shots: cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

ViewSnapshot ReadLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tail_view_shots: cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    ViewSnapshotBuilder builder;
    builder.Append(QStringLiteral("name\tport/proto\tcomment (tab stops every 80 pixels)"));
    builder.Append(QStringLiteral("ssh\t22/tcp\t\tSSH Remote Login Protocol"));
    builder.Append(QStringLiteral("http\t80/tcp\t\twww\t# World Wide Web HTTP"));
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QByteArray& line : lines)
        builder.AppendUtf8(line);
    builder.Append(QStringLiteral("01/05/2024 12:01:00 - File /var/log/x.log not found now !"));
    return builder.Build();
}

// A service's log, the same on every machine, so the picture does not depend on this one's logs.
ViewSnapshot ServiceLog() {
    const QStringList events = {
        QStringLiteral("GET /api/orders/%1 200 12ms"),
        QStringLiteral("POST /api/login 302 40ms user=alice"),
        QStringLiteral("GET /static/app.js 304 1ms"),
        QStringLiteral("ERROR database timeout after 5000ms on orders/%1"),
        QStringLiteral("GET /api/orders/%1 200 9ms"),
        QStringLiteral("WARN slow query orders/%1 (812ms)"),
        QStringLiteral("FATAL worker 3 exited with status 137, restarting"),
    };
    ViewSnapshotBuilder builder;
    for (int i = 0; i < 60; ++i) {
        const QString time =
            QStringLiteral("2026-12-09 14:%1:%2").arg(i / 6 + 10).arg(i % 6 * 9 + 3, 2, 10, QLatin1Char('0'));
        const QString event = events[i % events.size()];
        builder.Append(time + QStringLiteral(" web-1 ") +
                       (event.contains(QLatin1String("%1")) ? event.arg(4100 + i) : event));
    }
    return builder.Build();
}

void SaveSearchedView(const QString& folder, bool night) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new TailView(&window);
    layout->addWidget(view);
    const InstalledFind find = InstallFindBar(*view, *layout);
    view->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, night ? QColor(0x20, 0x24, 0x30) : QColor(0xC0, 0xFF, 0xC0));
    palette.setColor(QPalette::Text, night ? QColor(0xE0, 0xE0, 0xE0) : Qt::black);
    view->setPalette(palette);
    const auto patterns = [] {
        return HighlightPatterns{true, false, QStringLiteral("(?i)error|warn|fatal"),
                                 true, false, QStringLiteral("FATAL|timeout")};
    };
    new MatchHighlighter(*view, patterns, view);
    window.resize(760, 420);
    window.show();
    view->SetSnapshot(ServiceLog());
    view->ScrollToEnd();
    find.bar->Open();
    find.bar->Field().setText(QStringLiteral("orders/41"));
    if (!QTest::qWaitFor([&] { return find.bar->Find().Count().has_value(); }, 60000))
        std::fprintf(stderr, "tail_view_shots: the find count did not come\n");
    find.bar->FindNext();
    find.bar->FindNext();
    QApplication::processEvents();
    const QString path =
        QDir(folder).filePath(QLatin1String(night ? "find-highlight-night.png" : "find-highlight-day.png"));
    if (!window.grab().save(path))
        std::fprintf(stderr, "tail_view_shots: cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tail_view_shots OUTPUT_FOLDER [LOG_FILE]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const ViewSnapshot log =
        ReadLog(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/var/log/dpkg.log"));

    TailView view;
    view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, QColor(0xC0, 0xFF, 0xC0));
    palette.setColor(QPalette::Text, Qt::black);
    view.setPalette(palette);
    view.resize(760, 420);
    view.show();
    view.SetSnapshot(log);
    view.ScrollToEnd();
    Save(view, folder, "view-end-nowrap");

    view.SetWrap(true);
    view.ScrollToEnd();
    Save(view, folder, "view-end-wrap");

    view.SetWrap(false);
    view.SetFirstVisibleLine(0);
    view.Select({{1, 4}, {4, 10}});
    Save(view, folder, "view-tabs-selection");

    const QRegularExpression pattern(QStringLiteral("(?i)status|install"));
    view.SetMarksProvider([pattern](QStringView text, qsizetype from) {
        QList<ViewMark> marks;
        for (auto it = pattern.globalMatch(text.toString()); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            marks.push_back({from + m.capturedStart(), m.capturedLength(), QColor(255, 255, 160),
                             m.captured().startsWith(u'i')});
        }
        return marks;
    });
    view.ClearSelection();
    view.SetFirstVisibleLine(log.LineCount() / 2);
    qint64 matchLine = log.LineCount() / 2 + 3;
    while (matchLine + 1 < log.LineCount() && !log.Line(matchLine).contains(QStringLiteral("status")))
        ++matchLine;
    const qsizetype at = log.Line(matchLine).indexOf(QStringLiteral("status"));
    view.SetCurrentMatch(ViewRange{{matchLine, at}, {matchLine, at + 6}});
    Save(view, folder, "view-marks");

    ViewSnapshotBuilder huge(log);
    huge.DropFront(log.LineCount() - 5);
    huge.AppendUtf8(QByteArray("0123456789abcdef").repeated(16 << 20));
    huge.Append(QStringLiteral("the line after the long one"));
    view.SetMarksProvider({});
    view.SetSnapshot(huge.Build());
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
    Save(view, folder, "view-long-line-nowrap");
    view.SetWrap(true);
    view.ScrollToEnd();
    Save(view, folder, "view-long-line-wrap");

    SaveSearchedView(folder, false);
    SaveSearchedView(folder, true);
    return 0;
}
