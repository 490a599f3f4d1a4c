// The DESCRIBE request answered by a tail window in this process: what it reports, that the answer
// stays small whatever the view holds, and that a window thread that cannot answer costs a bounded
// wait, not a hang.
#include <chrono>
#include <future>

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>

#include "kovra_process.h"
#include "platform/instances.h"
#include "settings/uList.h"
#include "widgets/tail_view.h"
#include "window_fixture.h"
#include "window_parts/wait_until.h"

namespace {

using namespace std::chrono_literals;

class WindowDescribe : public TailWindowTest {
protected:
    void SetUp() override {
        TailWindowTest::SetUp();
        const QString runtime = TempPath(QStringLiteral("run"));
        ASSERT_TRUE(QDir().mkpath(runtime));
        runtime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    void TearDown() override {
        TailWindowTest::TearDown();
        runtime_.reset();
    }
    // Asked from another thread while this one keeps handling the window's events.
    WindowDescription DescribeFromElsewhere(DescribeDetail detail = DescribeDetail::WithView) {
        const qint32 handle = Window().Channel()->Handle();
        auto answer =
            std::async(std::launch::async, [handle, detail] { return DescribeWindow(handle, detail); });
        EXPECT_TRUE(WaitUntil([&] { return answer.wait_for(0ms) == std::future_status::ready; }));
        return answer.get();
    }

private:
    std::unique_ptr<ScopedEnv> runtime_;
};

TEST_F(WindowDescribe, ReportsTheWindowsStateAsItChanges) {
    MakeWindow(kTrueColor, {"kovra", "/f=Warn", "app.log"}, true);
    ASSERT_NE(Window().Channel(), nullptr);
    ASSERT_TRUE(Window().Channel()->IsListening());

    const WindowDescription expected{
        {"status", "stopped"},     {"filename", "app.log"}, {"filter", "1"},
        {"filterpattern", "Warn"}, {"alert", "0"},          {"alertpattern", ""},
        {"minimized", "0"},        {"hidden", "0"},         {"visible", "1"},
        {"reversedns", "0"},       {"rdnspane", ""},        {"view", ""},
        {"selection", ""},         {"lines", "0"},          {"statepane", "STOPPED"},
        {"infopane", ""},          {"trayicon", "0"},       {"modal", ""}, // no tray host offscreen
        {"platform", "offscreen"},
    };
    WindowDescription described = DescribeFromElsewhere();
    // The places of the controls a script clicks depend on the screen: present, not compared.
    for (const char* place :
         {"place.CheckBoxReverseDNS", "place.SpeedButtonPrint", "place.SpeedButtonClear", "place.viewlines"})
        EXPECT_FALSE(described.take(QString::fromLatin1(place)).isEmpty()) << place;
    EXPECT_EQ(described, expected) << Show(described);

    Ui().RzComboBoxAlarm->setEditText(QStringLiteral("disk = full"));
    ClickOn(Ui().CheckBoxAlert);
    StartOn(WriteFile(QStringLiteral("app.log"), "one\n"));
    described = DescribeFromElsewhere();
    EXPECT_EQ(described.value(QStringLiteral("status")), QStringLiteral("started")) << Show(described);
    EXPECT_EQ(described.value(QStringLiteral("alert")), QStringLiteral("1")) << Show(described);
    EXPECT_EQ(described.value(QStringLiteral("alertpattern")), QStringLiteral("disk = full"))
        << Show(described);
}

// A view of 20 MB, all of it selected: DESCRIBE copies nothing of it and stays small; DESCRIBE VIEW
// gives the view's last whole lines and the selection's start, each within the bound.
TEST_F(WindowDescribe, AnswersStaySmallWhateverTheViewHolds) {
    constexpr int kLines = 200000;
    QByteArray text;
    for (int i = 0; i < kLines; ++i)
        text += QByteArray::number(i).rightJustified(6, '0') + ' ' + QByteArray(93, 'x') + '\n';
    MakeWindow(kTrueColor, {"kovra"}, true);
    Window().Manager().List->DefFile->SetBufferkoVal(32 * 1024);
    StartOn(WriteFile(QStringLiteral("big.log"), text));
    ASSERT_EQ(Ui().MemoTail->LineCount(), kLines);
    Ui().MemoTail->SelectAll();

    const WindowDescription summary = DescribeFromElsewhere(DescribeDetail::Summary);
    EXPECT_EQ(summary.value(QStringLiteral("lines")), QStringLiteral("200000")) << Show(summary);
    EXPECT_FALSE(summary.contains(QStringLiteral("view")) || summary.contains(QStringLiteral("selection")));
    EXPECT_LT(Show(summary).size(), 1024u);

    // The view's lines and the selection's line ends arrive as blanks: each value is one line.
    const WindowDescription full = DescribeFromElsewhere();
    const QByteArray view = full.value(QStringLiteral("view")).toLatin1();
    ASSERT_LE(view.size(), kDescribeTextLimit);
    const qsizetype shownLines = (view.size() + 1) / 101;
    EXPECT_EQ(view, text.right(shownLines * 101).chopped(1).replace('\n', ' ')) << "whole last lines";
    EXPECT_GT(view.size(), kDescribeTextLimit - 101);
    const QByteArray selection = full.value(QStringLiteral("selection")).toLatin1();
    ASSERT_LE(selection.size(), kDescribeTextLimit);
    EXPECT_GT(selection.size(), kDescribeTextLimit - 102);
    EXPECT_TRUE(text.replace('\n', "  ").startsWith(selection)) << "the selection's start";
}

TEST_F(WindowDescribe, AWindowThreadThatCannotAnswerCostsABoundedWait) {
    MakeWindow(kTrueColor, {"kovra"}, true);
    ASSERT_NE(Window().Channel(), nullptr);
    // Asked on the window's own thread, the window cannot answer until the call has returned.
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(DescribeWindow(Window().Channel()->Handle()).isEmpty());
    EXPECT_LT(elapsed.elapsed(), kInstanceTimeoutMs + kDescribeTimeoutMs + 2000);
    // The late hand-over runs harmlessly, and the window answers again.
    EXPECT_EQ(DescribeFromElsewhere().value(QStringLiteral("status")), QStringLiteral("stopped"));
}

} // namespace
