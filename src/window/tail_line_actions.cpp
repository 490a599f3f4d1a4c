// The view's context menu (actions on the selected text, the kill-line switch, copy and select
// all) and the reverse-DNS resolver with its status pane.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>

#include "engine/tail_state.h"
#include "platform/launch.h"
#include "rdns/reverse_dns.h"
#include "util/text_codecs.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

namespace {

// The console answer of the platform turns "cmd.exe" "/K ping.exe X" into a terminal running ping.
void RunInConsole(const QString& parameters) {
    ShellRun(QStringLiteral("cmd.exe"), parameters, QString(), 0, 1, false);
}

QString Place(const QWidget* widget) {
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    return QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y());
}

} // namespace

void TFormTail::CreateReverseDns() {
    reverseDns_ = services_.resolveAddress ? std::make_unique<TReverseDNS>(services_.resolveAddress)
                                           : std::make_unique<TReverseDNS>();
    // The worker's texts reach the pane on the window thread; a text still queued when the pane
    // goes is dropped with it.
    StatusPane* pane = ui_.RzStatusPaneRDNS;
    reverseDns_->SetStatusSink([pane](const QString& text) {
        QMetaObject::invokeMethod(
            pane, [pane, text] { pane->setText(text); }, Qt::QueuedConnection);
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
        const QString text = SelectedViewText();
        if (!text.trimmed().isEmpty())
            ui_.RzComboBoxFilter->setEditText(text);
    });
    connect(ui_.Addtoalert1, &QAction::triggered, this, [this] {
        const QString text = SelectedViewText();
        if (!text.trimmed().isEmpty())
            ui_.RzComboBoxAlarm->setEditText(text);
    });
    connect(ui_.Ping1, &QAction::triggered, this,
            [this] { RunInConsole(QStringLiteral("/K ping.exe ") + SelectedViewText()); });
    connect(ui_.TraceRT1, &QAction::triggered, this,
            [this] { RunInConsole(QStringLiteral("/K tracert.exe ") + SelectedViewText()); });
    connect(ui_.OpenURL1, &QAction::triggered, this, [this] {
        QString text = TrimBlanksAndControls(SelectedViewText());
        if (text.isEmpty())
            return;
        if (!text.contains(QStringLiteral("http://"), Qt::CaseInsensitive))
            text.prepend(QStringLiteral("http://"));
        ShellRun(text, QString(), QString(), 0, 1, false);
    });
    connect(ui_.Sendamail1, &QAction::triggered, this, [this] {
        const QString text = TrimBlanksAndControls(SelectedViewText());
        if (!text.isEmpty())
            ShellRun(QStringLiteral("mailto:") + text, QString(), QString(), 0, 1, false);
    });
    connect(ui_.CopyView, &QAction::triggered, ui_.MemoTail, &TailView::Copy);
    connect(ui_.SelectAllView, &QAction::triggered, ui_.MemoTail, &TailView::SelectAll);
}

void TFormTail::DescribeView(QMap<QString, QString>& description) const {
    const TailView* view = ui_.MemoTail;
    description.insert(QStringLiteral("reversedns"),
                       ui_.CheckBoxReverseDNS->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    description.insert(QStringLiteral("rdnspane"), ui_.RzStatusPaneRDNS->text());
    description.insert(QStringLiteral("view"), PlainViewText());
    description.insert(QStringLiteral("statepane"), ui_.RzStatusPanesSTATE->text());
    description.insert(QStringLiteral("infopane"), ui_.RzStatusPaneINFO->text());
    description.insert(QStringLiteral("selection"), SelectedViewText());
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
