// The view's context menu: its items, the actions on the selected text (through stand-in console
// programs and the desktop's URL handlers), and the reverse-DNS pane fed by the window's resolver.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QToolTip>
#include <QUrl>

#include "engine/tail_state.h"
#include "rdns/reverse_dns.h"
#include "recording_programs.h"
#include "settings/uList.h"
#include "widgets/tail_view.h"
#include "window/tail_controls.h"
#include "window_fixture.h"
#include "window_parts/url_catcher.h"
#include "window_parts/wait_until.h"

namespace {

std::string Show(const QList<QUrl>& urls) {
    QStringList texts;
    for (const QUrl& url : urls)
        texts << url.toString();
    return texts.join(QStringLiteral(" | ")).toStdString();
}

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
    EXPECT_EQ(Captions(menu), (QStringList{"Kill line", "-", "Trace Route", "Ping", "Open URL", "Send a mail",
                                           "-", "Add to filter", "Add to alert", "-", "Copy", "Select all"}));
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

TEST_F(TailWindowLineActions, OpenUrlSendAMailAndAddToPatternsFollowTheirRules) {
    MakeWindow();
    Window().Manager().List->DefFile->SetKillspace(false);
    Window().Manager().List->DefFile->SetKillline(false);
    StartOn(WriteFile(QStringLiteral("app.log"), "host example.org\nsee HTTP://x.org/a\nhttps://secure.org\n"
                                                 "mail   user@example.org   here\n     \na.b\naXb\nother\n"));
    UrlCatcher web, mail;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &web, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "Open");
    const auto open = [&](const char* text, QAction* action) {
        Select(QString::fromLatin1(text));
        action->trigger();
    };
    open("example.org", Ui().OpenURL1);
    open("HTTP://x.org/a", Ui().OpenURL1);
    open("https://secure.org", Ui().OpenURL1);
    open("   user@example.org   ", Ui().Sendamail1);
    open("   ", Ui().OpenURL1);
    open("   ", Ui().Sendamail1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    EXPECT_EQ(web.urls,
              (QList<QUrl>{QUrl(QStringLiteral("http://example.org")), QUrl(QStringLiteral("http://x.org/a")),
                           QUrl(QStringLiteral("http://https://secure.org"))}))
        << Show(web.urls);
    EXPECT_EQ(mail.urls, QList<QUrl>{QUrl(QStringLiteral("mailto:user@example.org"))}) << Show(mail.urls);

    // Blanks only: the patterns stay; a.b becomes the patterns as selected, the boxes untouched.
    Ui().RzComboBoxFilter->setEditText(QStringLiteral("before"));
    open("     ", Ui().Addtofilter1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("before"));
    open("a.b", Ui().Addtofilter1);
    open("a.b", Ui().Addtoalert1);
    EXPECT_EQ(Ui().RzComboBoxFilter->currentText(), QStringLiteral("a.b"));
    EXPECT_EQ(Ui().RzComboBoxAlarm->currentText(), QStringLiteral("a.b"));
    EXPECT_FALSE(Ui().CheckBoxFilter->isChecked());
    EXPECT_FALSE(Ui().CheckBoxAlert->isChecked());

    // Checked, the pattern is a regular expression: a.b also keeps aXb.
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

} // namespace
