// The view's context menu: its items, the actions on the selected text (through stand-in console
// programs; Open URL and Send a mail in test_names_and_links.cpp), and the reverse-DNS pane fed by
// the window's resolver.
#include <chrono>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QToolTip>

#include "engine/tail_state.h"
#include "rdns/reverse_dns.h"
#include "recording_programs.h"
#include "settings/uList.h"
#include "widgets/tail_view.h"
#include "window/tail_controls.h"
#include "window_fixture.h"
#include "window_parts/wait_until.h"

namespace {

class TailWindowLineActions : public TailWindowTest {
protected:
    // Selects the first occurrence of text (line breaks as CR LF) in the view.
    void Select(const QString& text) { ASSERT_TRUE(SelectInView(text)) << text.toStdString(); }
    QStringList Captions(const QMenu* menu) {
        QStringList captions;
        for (const QAction* action : menu->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return captions;
    }
};

TEST_F(TailWindowLineActions, RightClickOpensOurMenuWithKillLineCopyAndSelectAll) {
    MakeWindow();
    StartOn(WriteFile(QStringLiteral("app.log"), "first line\nsecond line\n"));
    QMenu* menu = Ui().PopupMenuTAILMemo;
    EXPECT_EQ(Captions(menu),
              (QStringList{"Kill line", "-", "Trace Route", "Ping", "Open URL", "Send a mail", "-",
                           "Add to filter", "Add to alert", "-", "Highlight selection", "Toggle bookmark",
                           "Next bookmark", "Previous bookmark", "-", "Copy", "Select all"}));
    EXPECT_EQ(Ui().ItemCompactLine->toolTip(), QStringLiteral("Remove blank line"));

    QWidget* viewport = Ui().MemoTail->viewport();
    QContextMenuEvent request(QContextMenuEvent::Mouse, viewport->rect().center(),
                              viewport->mapToGlobal(viewport->rect().center()));
    QApplication::sendEvent(viewport, &request);
    EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); })) << "not our menu";
    const QPoint killLineItem = menu->actionGeometry(Ui().ItemCompactLine).center();
    QHelpEvent hint(QEvent::ToolTip, killLineItem, menu->mapToGlobal(killLineItem));
    QApplication::sendEvent(menu, &hint);
    EXPECT_TRUE(WaitUntil([] { return QToolTip::text() == QStringLiteral("Remove blank line"); }))
        << "the item's hint shows";
    menu->close();

    // Kill line is a check item that toggles its own mark, and the pass reads it.
    const bool killLine = Ui().ItemCompactLine->isChecked();
    Ui().ItemCompactLine->trigger();
    EXPECT_EQ(Ui().ItemCompactLine->isChecked(), !killLine);
    Ui().ItemCompactLine->trigger();
    EXPECT_EQ(Ui().ItemCompactLine->isChecked(), killLine);

    Ui().SelectAllView->trigger();
    EXPECT_EQ(Ui().MemoTail->SelectedText(), QStringLiteral("first line\r\nsecond line"));
    Select(QStringLiteral("second"));
    Ui().CopyView->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("second"));
}

TEST_F(TailWindowLineActions, PingAndTraceRouteGiveTheSelectionToTheConsoleAsOneArgument) {
    RecordingPrograms programs(TempPath(QStringLiteral("bin")));
    const QString terminal = programs.Script(
        QStringLiteral("term"), QStringLiteral("[ \"$1\" = -e ] || exit 3\nshift\nexec \"$@\"\n"));
    programs.Recorder(QStringLiteral("ping"));
    programs.Recorder(QStringLiteral("traceroute"));
    const QString shell = programs.Recorder(QStringLiteral("console"));
    const ScopedEnv terminalEnv("TERMINAL", QFile::encodeName(terminal));
    const ScopedEnv shellEnv("SHELL", QFile::encodeName(shell));
    const ScopedEnv path("PATH", QFile::encodeName(programs.Folder()) + ":/usr/bin:/bin");
    MakeWindow();
    StartOn(WriteFile(QStringLiteral("app.log"), "from 10.1.2.3 port 22\nnext; rm -rf x\n"));

    Select(QStringLiteral("10.1.2.3"));
    Ui().Ping1->trigger();
    ASSERT_TRUE(programs.WaitCalls(QStringLiteral("ping"), 1));
    EXPECT_EQ(programs.LastArguments(QStringLiteral("ping")), (QStringList{"-c", "4", "10.1.2.3"}));

    // Two lines: the line break travels inside the one argument, unchanged.
    Select(QStringLiteral("22\r\nnext; rm"));
    Ui().Ping1->trigger();
    ASSERT_TRUE(programs.WaitCalls(QStringLiteral("ping"), 2));
    EXPECT_EQ(programs.LastArguments(QStringLiteral("ping")), (QStringList{"-c", "4", "22\r\nnext; rm"}));

    Select(QStringLiteral("10.1.2.3"));
    Ui().TraceRT1->trigger();
    ASSERT_TRUE(programs.WaitCalls(QStringLiteral("traceroute"), 1));
    EXPECT_EQ(programs.LastArguments(QStringLiteral("traceroute")), QStringList{"10.1.2.3"});
    EXPECT_TRUE(programs.WaitCalls(QStringLiteral("console"), 3)) << "each console stays open";
}

TEST_F(TailWindowLineActions, AddToPatternsTakesTheSelectionWholeOrSaysSo) {
    MakeWindow();
    Window().Manager().List->DefFile->SetKillspace(false);
    Window().Manager().List->DefFile->SetKillline(false);
    const QByteArray longLine = "x" + QByteArray(40000, 'y') + "z";
    StartOn(WriteFile(QStringLiteral("app.log"), "     \na.b\naXb\nother\n" + longLine + "\n"));
    const auto add = [&](const QString& text, QAction* action) {
        Select(text);
        action->trigger();
    };

    // Blanks only: the patterns stay; a.b becomes the patterns as selected, the boxes untouched.
    Ui().RzComboBoxFilter->setEditText(QStringLiteral("before"));
    add(QStringLiteral("     "), Ui().Addtofilter1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("before"));
    add(QStringLiteral("a.b"), Ui().Addtofilter1);
    add(QStringLiteral("a.b"), Ui().Addtoalert1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("a.b"));
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QStringLiteral("a.b"));
    EXPECT_FALSE(Ui().CheckBoxFilter->isChecked());
    EXPECT_FALSE(Ui().CheckBoxAlert->isChecked());
    EXPECT_TRUE(dialogs_.AllShown().empty());

    // Longer than a pattern field holds: refused with a message, never cut to its first part. The
    // longest text the field holds is taken whole.
    const int limit = Ui().RzComboBoxFilter->lineEdit()->maxLength();
    ASSERT_LT(limit, longLine.size());
    add(QString::fromLatin1(longLine), Ui().Addtofilter1);
    add(QString::fromLatin1(longLine), Ui().Addtoalert1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("a.b"));
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QStringLiteral("a.b"));
    const QString refused = QStringLiteral("The selection holds %1 characters; the %2 pattern can hold %3. "
                                           "The %2 pattern is unchanged.");
    EXPECT_EQ(dialogs_.Texts(), (QStringList{refused.arg(longLine.size()).arg("filter").arg(limit),
                                             refused.arg(longLine.size()).arg("alert").arg(limit)}));
    const QString fits = QString::fromLatin1(longLine.left(limit));
    add(fits, Ui().Addtofilter1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), fits);

    // Checked, the pattern is a regular expression: a.b also keeps aXb.
    add(QStringLiteral("a.b"), Ui().Addtofilter1);
    ClickOn(Ui().CheckBoxFilter);
    ClickStop();
    StartOn(Ui().LabelFn->text());
    EXPECT_EQ(ViewPlain(), QStringLiteral("a.b\naXb"));
}

TEST_F(TailWindowLineActions, ReverseDnsShowsNamesAndThePaneAndItsClickRetriesFailures) {
    names_->Set(QStringLiteral("10.1.2.3"), QStringLiteral("gateway.lan"));
    MakeWindow();
    SetDefaultRefreshRate(1);
    StartOn(
        WriteFile(QStringLiteral("app.log"), "connect from 10.1.2.3 port 22\nand from 10.9.9.9 port 23\n"));
    ClickOn(Ui().CheckBoxReverseDNS);
    const auto settled = [&](const QString& pane, const QString& view) {
        return WaitUntil([&] {
            Window().Engine().Tick();
            return Ui().RzStatusPaneRDNS->text() == pane && ViewPlain() == view;
        });
    };
    EXPECT_TRUE(settled(QStringLiteral("SUSP (Nb=2; ?=1)"),
                        QStringLiteral("connect from [gateway.lan] port 22\nand from ?10.9.9.9? port 23")))
        << Ui().RzStatusPaneRDNS->text().toStdString() << " / " << ViewPlain().toStdString();

    names_->Set(QStringLiteral("10.9.9.9"), QStringLiteral("late.lan"));
    ClickOn(Ui().RzStatusPaneRDNS);
    EXPECT_TRUE(settled(QStringLiteral("SUSP (Nb=2; ?=0)"),
                        QStringLiteral("connect from [gateway.lan] port 22\nand from [late.lan] port 23")))
        << Ui().RzStatusPaneRDNS->text().toStdString() << " / " << ViewPlain().toStdString();
}

// A sweep over 2,000 addresses writes three texts an entry while the window is busy elsewhere:
// the window then gets one call, with the latest text, not 6,000 queued behind each other.
TEST_F(TailWindowLineActions, TheResolversTextsReachThePaneCoalesced) {
    QByteArray log;
    for (int i = 0; i < 2000; ++i)
        log += "from 10.7." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256) + "\n";
    MakeWindow();
    ClickOn(Ui().CheckBoxReverseDNS);
    StartOn(WriteFile(QStringLiteral("many.log"), log));
    // The window's thread waits here, handling nothing, until every lookup has failed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (Window().ReverseDns().Generation() < 2000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(Window().ReverseDns().Generation(), 2000u);
    struct CallCount : QObject {
        int calls = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            calls += event->type() == QEvent::MetaCall;
            return false;
        }
    } count;
    Ui().RzStatusPaneRDNS->installEventFilter(&count);
    EXPECT_TRUE(WaitUntil([&] {
        return Ui().RzStatusPaneRDNS->text() == QStringLiteral("SUSP (Nb=2000; ?=2000)");
    })) << Ui().RzStatusPaneRDNS->text().toStdString();
    EXPECT_LE(count.calls, 2);
}

} // namespace
