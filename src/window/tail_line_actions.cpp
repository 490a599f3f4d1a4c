// The view's context menu (actions on the selected text, the kill-line switch, copy and select
// all) and the reverse-DNS resolver with its status pane.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QToolButton>

#include "engine/tail_state.h"
#include "platform/dialogs.h"
#include "platform/instances.h"
#include "platform/launch.h"
#include "rdns/reverse_dns.h"
#include "util/latest_text.h"
#include "util/text_codecs.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

namespace {

// The console answer of the platform turns "cmd.exe" "/K ping.exe X" into a terminal running ping.
void RunInConsole(const QString& parameters) {
    ShellRun(QStringLiteral("cmd.exe"), parameters, QString(), 0, 1, false);
}

// "http://" goes in front of a text that holds it nowhere, unless the text starts with a scheme
// of its own ("https://x" is not "http://https//x").
QString WebAddress(const QString& text) {
    static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (text.contains(QStringLiteral("http://"), Qt::CaseInsensitive) || kScheme.match(text).hasMatch())
        return text;
    return QStringLiteral("http://") + text;
}

// The selection becomes the pattern whole, or not at all: the field holds a bounded number of
// characters and would keep only the first ones of a longer text.
void UseAsPattern(DialogService& dialogs, QComboBox& combo, const QString& selection, const QString& name) {
    if (selection.trimmed().isEmpty())
        return;
    const int limit = combo.lineEdit()->maxLength();
    if (selection.size() > limit) {
        dialogs.ShowMessage(DialogService::Icon::Warning,
                            QStringLiteral("The selection holds %1 characters; the %2 pattern can hold %3. "
                                           "The %2 pattern is unchanged.")
                                .arg(selection.size())
                                .arg(name)
                                .arg(limit));
        return;
    }
    combo.setEditText(selection);
}

QString Place(const QWidget* widget) {
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    return QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y());
}

} // namespace

void TFormTail::CreateReverseDns() {
    reverseDns_ = services_.resolveAddress ? std::make_unique<TReverseDNS>(services_.resolveAddress)
                                           : std::make_unique<TReverseDNS>();
    // The worker's texts reach the pane on the window thread, one call queued at a time: a sweep
    // writes a text per entry, and the pane shows the latest one whenever the window gets to it.
    // A text still queued when the pane goes is dropped with it.
    StatusPane* pane = ui_.RzStatusPaneRDNS;
    auto latest = std::make_shared<LatestText>();
    reverseDns_->SetStatusSink([pane, latest](const QString& text) {
        if (latest->Put(text))
            QMetaObject::invokeMethod(
                pane, [pane, latest] { pane->setText(latest->Take()); }, Qt::QueuedConnection);
    });
}

QString TFormTail::SelectedViewText() const {
    return ui_.MemoTail->SelectedText();
}

QString TFormTail::PlainViewText() const {
    const ViewSnapshot& shown = ui_.MemoTail->Snapshot();
    const qint64 last = shown.LineCount() - 1;
    return last < 0 ? QString() : shown.TextBetween({{0, 0}, {last, shown.LineLength(last)}}, u"\n");
}

void TFormTail::ConnectViewControls() {
    ui_.MemoTail->viewport()->installEventFilter(this);
    connect(ui_.MemoTail, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ui_.PopupMenuTAILMemo->popup(ui_.MemoTail->mapToGlobal(at)); });
    connect(ui_.RzStatusPaneRDNS, &StatusPane::clicked, this, [this] { reverseDns_->RefreshUnknownDNS(); });
    connect(ui_.Addtofilter1, &QAction::triggered, this, [this] {
        UseAsPattern(*services_.dialogs, *ui_.RzComboBoxFilter, SelectedViewText(), QStringLiteral("filter"));
    });
    connect(ui_.Addtoalert1, &QAction::triggered, this, [this] {
        UseAsPattern(*services_.dialogs, *ui_.RzComboBoxAlarm, SelectedViewText(), QStringLiteral("alert"));
    });
    connect(ui_.Ping1, &QAction::triggered, this,
            [this] { RunInConsole(QStringLiteral("/K ping.exe ") + SelectedViewText()); });
    connect(ui_.TraceRT1, &QAction::triggered, this,
            [this] { RunInConsole(QStringLiteral("/K tracert.exe ") + SelectedViewText()); });
    connect(ui_.OpenURL1, &QAction::triggered, this, [this] {
        const QString text = TrimBlanksAndControls(SelectedViewText());
        if (!text.isEmpty())
            OpenUrl(WebAddress(text));
    });
    connect(ui_.Sendamail1, &QAction::triggered, this, [this] {
        const QString text = TrimBlanksAndControls(SelectedViewText());
        if (!text.isEmpty())
            OpenUrl(QStringLiteral("mailto:") + text);
    });
    connect(ui_.CopyView, &QAction::triggered, ui_.MemoTail, &TailView::Copy);
    connect(ui_.SelectAllView, &QAction::triggered, ui_.MemoTail, &TailView::SelectAll);
}

namespace {

// At most limit characters of range: its start (fromEnd false) or its end, whole lines where they
// fit. Only the lines taken are visited, so a huge view costs what the answer holds.
QString BoundedText(const ViewSnapshot& shown, ViewRange range, qsizetype limit, bool fromEnd,
                    QStringView lineBreak) {
    if (shown.LineCount() == 0 || !(range.from < range.to))
        return {};
    const auto length = [&](qint64 line) {
        const qsizetype start = line == range.from.line ? range.from.column : 0;
        return (line == range.to.line ? range.to.column : shown.LineLength(line)) - start;
    };
    qsizetype used = 0;
    if (fromEnd) {
        qint64 line = range.to.line;
        for (; line > range.from.line && used + length(line) + lineBreak.size() <= limit; --line)
            used += length(line) + lineBreak.size();
        if (used + length(line) > limit)
            range.from = line == range.to.line ? ViewPosition{line, range.to.column - limit}
                                               : ViewPosition{line + 1, 0};
    } else {
        qint64 line = range.from.line;
        for (; line < range.to.line && used + length(line) + lineBreak.size() <= limit; ++line)
            used += length(line) + lineBreak.size();
        if (used + length(line) > limit) {
            const qsizetype start = line == range.from.line ? range.from.column : 0;
            range.to = {line, start + std::max<qsizetype>(0, limit - used)};
        }
    }
    return shown.TextBetween(range, lineBreak);
}

} // namespace

void TFormTail::DescribeView(QMap<QString, QString>& description, DescribeDetail detail) const {
    const TailView* view = ui_.MemoTail;
    const ViewSnapshot& shown = view->Snapshot();
    description.insert(QStringLiteral("reversedns"),
                       ui_.CheckBoxReverseDNS->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    description.insert(QStringLiteral("rdnspane"), ui_.RzStatusPaneRDNS->text());
    description.insert(QStringLiteral("statepane"), ui_.RzStatusPanesSTATE->text());
    description.insert(QStringLiteral("infopane"), ui_.RzStatusPaneINFO->text());
    description.insert(QStringLiteral("lines"), QString::number(shown.LineCount()));
    if (detail == DescribeDetail::WithView) {
        const qint64 last = shown.LineCount() - 1;
        const ViewRange all{{0, 0}, {last, last < 0 ? 0 : shown.LineLength(last)}};
        description.insert(QStringLiteral("view"), BoundedText(shown, all, kDescribeTextLimit, true, u"\n"));
        description.insert(QStringLiteral("selection"),
                           view->HasSelection()
                               ? BoundedText(shown, view->Selection(), kDescribeTextLimit, false, u"\r\n")
                               : QString());
    }
    description.insert(QStringLiteral("place.CheckBoxReverseDNS"), Place(ui_.CheckBoxReverseDNS));
    description.insert(QStringLiteral("place.SpeedButtonPrint"), Place(ui_.SpeedButtonPrint));
    description.insert(QStringLiteral("place.SpeedButtonClear"), Place(ui_.SpeedButtonClear));
    // The start of the view's first two lines, so a script can click and shift-click lines.
    const QRect first = view->LineRect(0);
    const QRect second = view->LineRect(1);
    const int step = second.isNull() || first.isNull() ? 0 : second.y() - first.y();
    const QPoint at = view->viewport()->mapToGlobal(QPoint(first.x() + 4, first.center().y()));
    description.insert(QStringLiteral("place.viewlines"),
                       QStringLiteral("%1 %2 %3").arg(at.x()).arg(at.y()).arg(step));
}
