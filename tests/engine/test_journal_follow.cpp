// The journal followed as a window follows a file: journal files written by the real
// systemd-journal-remote into a folder while the engine follows "journal:/FOLDER", with change
// notifications on and the timer an hour off, so only the journal's own descriptor runs passes.
#include <QDir>
#include <QFile>

#include "engine_fixture.h"
#include "support/journal_writer.h"

namespace {

class JournalFollowTest : public EngineTest {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        changeDebounceMs = kChangeDebounceMs;
        EngineTest::SetUp();
        params->usethread = false; // timer mode: the passes run here, between the waits
        folder_ = Path("fleet");
        ASSERT_TRUE(QDir().mkpath(folder_));
    }
    void Journal(const QString& file, const JournalExport& entries) {
        QString error;
        ASSERT_TRUE(WriteJournal(folder_ + u'/' + file, entries, &error)) << error.toStdString();
    }
    bool WaitForLines(qsizetype n) {
        return WaitUntil([&] { return View().size() == n; }, 30000);
    }
    std::string Shown() const { return window.ViewText().toStdString(); }

    QString folder_;
};

const QString kFirst = QStringLiteral("2026-12-09T18:02:40+0000 web1 sshd[100]: Accepted key for ann");

TEST_F(JournalFollowTest, GrowsRotatesAndIsVacuumedWithoutClearingOrAlertingAgain) {
    Journal("a.journal", JournalExport()
                             .Line(0, "sshd", "ssh.service", "Accepted key for ann")
                             .Line(1, "cron", "cron.service", "job started\nrunning /etc/daily")
                             .Line(2, "sshd", "ssh.service", "ERROR disconnect"));
    window.alertOn = true;
    window.alertPattern = QStringLiteral("ERROR");
    Start(QStringLiteral("journal:") + folder_);
    ASSERT_EQ(View(), QStringList({kFirst, "2026-12-09T18:02:41+0000 web1 cron[101]: job started",
                                   QString(41, u' ') + "running /etc/daily",
                                   "2026-12-09T18:02:42+0000 web1 sshd[102]: ERROR disconnect"}));
    const qint64 size = window.ViewText().size() - 4; // CR LF shown, LF rendered
    EXPECT_EQ(window.filePane.left(window.filePane.indexOf(u',')),
              QStringLiteral("Size=") + QString::number(size) + " b");
    EXPECT_TRUE(window.filePane.endsWith(QStringLiteral("Type=Journal"))) << window.filePane.toStdString();
    EXPECT_EQ(window.alertLines.size(), 1);

    // An append shows without the timer.
    Journal("a.journal", JournalExport().Line(3, "sshd", "ssh.service", "session opened"));
    ASSERT_TRUE(WaitForLines(5)) << Shown();
    // Rotation: the collector goes on in a new file.
    Journal("b.journal", JournalExport().Line(4, "sshd", "ssh.service", "ERROR again"));
    ASSERT_TRUE(WaitForLines(6)) << Shown();
    EXPECT_EQ(window.alertLines.size(), 2);
    // Vacuuming removes the old file: nothing shown goes, nothing alerts again.
    ASSERT_TRUE(QFile::remove(folder_ + "/a.journal"));
    Journal("b.journal", JournalExport().Line(5, "cron", "cron.service", "job done"));
    ASSERT_TRUE(WaitForLines(7)) << Shown();
    EXPECT_EQ(View().front(), kFirst);
    EXPECT_EQ(View().back(), QStringLiteral("2026-12-09T18:02:45+0000 web1 cron[105]: job done"));
    EXPECT_EQ(window.alertLines.size(), 2);
    EXPECT_FALSE(window.events.contains(QStringLiteral("View:clear")));
    engine->SetTailStatus(tsStop);
}

TEST_F(JournalFollowTest, MatchesKeepExactlyTheirEntriesAndEmptinessIsSaid) {
    Journal("a.journal", JournalExport()
                             .Line(0, "sshd", "ssh.service", "Accepted key for ann")
                             .Line(1, "cron", "cron.service", "job started")
                             .Line(2, "sshd", "ssh.service", "Accepted key for bob")
                             .Line(3, "CRON", "cron.service", "job done"));
    const QString name = QStringLiteral("journal:") + folder_;
    const auto follow = [&](const QString& match) {
        engine->SetTailStatus(tsStop);
        window.view = ViewSnapshot();
        Start(name + u':' + match);
    };
    follow(QStringLiteral("cron.service"));
    EXPECT_EQ(View(), QStringList({"2026-12-09T18:02:41+0000 web1 cron[101]: job started",
                                   "2026-12-09T18:02:43+0000 web1 CRON[103]: job done"}));
    follow(QStringLiteral("SYSLOG_IDENTIFIER=sshd"));
    EXPECT_EQ(View(), QStringList({kFirst, "2026-12-09T18:02:42+0000 web1 sshd[102]: Accepted key for bob"}));
    Journal("a.journal", JournalExport()
                             .Line(4, "cron", "cron.service", "not for sshd")
                             .Line(5, "sshd", "ssh.service", "Accepted key for cy"));
    ASSERT_TRUE(WaitForLines(3)) << Shown();
    EXPECT_EQ(View().back(), QStringLiteral("2026-12-09T18:02:45+0000 web1 sshd[105]: Accepted key for cy"));

    follow(QStringLiteral("nosuch.service"));
    EXPECT_TRUE(View().isEmpty()) << Shown();
    EXPECT_TRUE(window.infoPane.startsWith(QStringLiteral("No entry matches nosuch.service - Lines read= 0")))
        << window.infoPane.toStdString();
    const QString empty = Path("empty");
    ASSERT_TRUE(QDir().mkpath(empty));
    engine->SetTailStatus(tsStop);
    Start(QStringLiteral("journal:") + empty);
    EXPECT_TRUE(
        window.infoPane.startsWith(QStringLiteral("No journal files in ") + empty + " - Lines read= 0"))
        << window.infoPane.toStdString();
    engine->SetTailStatus(tsStop);
    Start(QStringLiteral("journal:") + Path("gone"));
    EXPECT_TRUE(window.ViewText().contains(QStringLiteral("journal:") + Path("gone") + " not found now !"))
        << Shown();
    engine->SetTailStatus(tsStop);
}

} // namespace
