// What the real program's windows are called on the X server, where title bars, task bars and
// other programs read them: the pass's title ("Kovra " and the file) follows the tail window's
// caption, the caption other windows look for stays "KOVRA - " and the version, and a box keeps
// its own caption exactly.
#include <QFile>
#include <QProcess>

#include "kovra_process.h"
#include "util/version_text.h"
#include "window_parts/wait_until.h"

namespace {

constexpr const char* kDash = " \u2014 ";

class ProgramTitles : public ProgramTest {
protected:
    // Ctrl and a click of the left button at the control's place on the screen (xdotool).
    static void CtrlClick(const KovraProcess& process, const QString& control) {
        const QStringList place = process.Describe().value(QStringLiteral("place.") + control).split(u' ');
        ASSERT_EQ(place.size(), 2) << control.toStdString() << " has no place";
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), place[0], place[1], QStringLiteral("keydown"),
                       QStringLiteral("ctrl"), QStringLiteral("click"), QStringLiteral("1"),
                       QStringLiteral("keyup"), QStringLiteral("ctrl")});
        ASSERT_TRUE(xdotool.waitForFinished(10000) && xdotool.exitCode() == 0)
            << "xdotool did not run (install it: scripts/setup does): " << xdotool.errorString().toStdString()
            << xdotool.readAllStandardError().toStdString();
    }
};

TEST_F(ProgramTitles, PassTitleFollowsTheCaptionAndBoxesKeepTheirOwn) {
    const QString log = WriteFile(QStringLiteral("app.log"), "one\ntwo\n");
    KovraProcess& process = Start({QStringLiteral("/start"), log});
    ASSERT_TRUE(process.WaitUp());
    ASSERT_TRUE(process.WaitDescribed({{"status", "started"}})) << process.LastDescription();
    const QString caption = QStringLiteral("KOVRA - ") + VersionText(QString(), true, false);
    const QString shown = caption + QString::fromUtf8(kDash) + QStringLiteral("Kovra ") + log;

    QString mainId;
    ASSERT_TRUE(WaitUntil([&] {
        for (const XWindow& window : XWindowsOf(process.Handle())) {
            if (window.title == shown)
                mainId = window.id;
        }
        return !mainId.isEmpty();
    })) << "no window titled "
        << shown.toStdString();
    const auto siblings = CollectSiblingWindows();
    ASSERT_EQ(siblings->Count(), 1);
    EXPECT_EQ(siblings->Strings(0), caption) << "the caption other windows look for";

    // Ctrl and a click on the clear button asks whether to clear the file, in a box.
    CtrlClick(process, QStringLiteral("SpeedButtonClear"));
    ASSERT_TRUE(process.WaitDescribed({{"modal", "Kovra"}})) << process.LastDescription();
    QStringList titles;
    for (const XWindow& window : XWindowsOf(process.Handle()))
        titles << window.title;
    EXPECT_EQ(titles.count(QStringLiteral("Kovra")), 1) << titles.join(u'|').toStdString();
    EXPECT_EQ(titles.filter(QString::fromUtf8(kDash)), QStringList{shown}) << titles.join(u'|').toStdString();

    // Asked to quit, nobody answers the box: it takes its safe answer, No, and the file stays.
    process.Process().terminate();
    ASSERT_TRUE(process.WaitExited(30000)) << process.Output();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("one\ntwo\n"));
}

} // namespace
