// The real program under Xvfb follows a folder of journal files named on its command line, as a
// collector (the real systemd-journal-remote) keeps writing into it.
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include "kovra_process.h"
#include "support/journal_writer.h"

namespace {

class ProgramJournal : public ProgramTest {
protected:
    // Until the window's view holds text; what it held last.
    static QString WaitForView(KovraProcess& kovra, const QString& text) {
        QString view;
        QDeadlineTimer deadline(120000); // generous: a loaded machine and a sanitized build
        while (!deadline.hasExpired() && !(view = kovra.Describe().value("view")).contains(text))
            QThread::msleep(100);
        return view;
    }
};

TEST_F(ProgramJournal, FollowsAFolderNamedOnTheCommandLine) {
    const ScopedEnv utc("TZ", "UTC");
    const QString folder = Path("fleet");
    ASSERT_TRUE(QDir().mkpath(folder));
    QString error;
    ASSERT_TRUE(WriteJournal(folder + "/remote-web1.journal",
                             JournalExport()
                                 .Line(0, "sshd", "ssh.service", "Accepted key for ann")
                                 .Line(1, "cron", "cron.service", "job started"),
                             &error))
        << error.toStdString();
    KovraProcess& kovra = Start({QStringLiteral("/start"), QStringLiteral("journal:") + folder});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    // The description gives the view's lines joined by blanks.
    const QString first = "2026-12-09T18:02:40+0000 web1 sshd[100]: Accepted key for ann "
                          "2026-12-09T18:02:41+0000 web1 cron[101]: job started";
    EXPECT_EQ(WaitForView(kovra, first), first) << kovra.Output();
    ASSERT_TRUE(WriteJournal(folder + "/remote-web1.journal",
                             JournalExport().Line(2, "sshd", "ssh.service", "session opened"), &error))
        << error.toStdString();
    const QString grown = first + " 2026-12-09T18:02:42+0000 web1 sshd[102]: session opened";
    EXPECT_EQ(WaitForView(kovra, grown), grown) << kovra.Output();
}

} // namespace
