// Journal names and entry lines: each case is what `journalctl -o short-iso` shows for the same
// entry (checked against it when written), in UTC.
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "source/journal_name.h"
#include "source/journal_render.h"

namespace {

class JournalLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    static std::string Indent(int n) { return std::string(size_t(n), ' '); }
    static std::string Render(const JournalEntryFields& fields, quint64 us = 1796839360000000) {
        QByteArray out;
        RenderJournalEntry(fields, us, out);
        return out.toStdString();
    }
};

TEST_F(JournalLine, HeadFieldsMessageLinesAndBlobs) {
    JournalEntryFields f;
    f.hostname = "web1";
    f.identifier = "sshd";
    f.pid = "812";
    f.message = "Accepted key";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: Accepted key\n");

    // Several lines go on under the message's column; a last line feed adds no line; tabs are
    // eight blanks; carriage returns before a line feed go.
    f.message = "one\r\ntwo\n\tthree\n";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: one\n" + Indent(41) + "two\n" +
                             Indent(49) + "three\n");
    f.message = "\n\nlead\n\n";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: \n" + Indent(41) + "\n" + Indent(41) +
                             "lead\n" + Indent(41) + "\n");
    f.message = "";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: \n");
    // Colour and hyperlink sequences go; what is left must be printable UTF-8, else its size shows.
    f.message = "col \x1b[31mred\x1b[0m \x1b]8;;http://x\x07link\x1b]8;;\x07";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: col red link\n");
    f.message = "\x1b[1;31mbold\x1b[0m \x1b[?25h q \x1b[";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: [16B blob data]\n");
    f.message = "a\rb";
    EXPECT_EQ(Render(f), "2026-12-09T18:02:40+0000 web1 sshd[812]: [3B blob data]\n");
    const QByteArray c1 = "c1 \xc2\x85 x", invalid = "bad \xff\xfe", kilo(2000, '\x01'),
                     mega(1348876, '\x01');
    for (const auto& [message, shown] : {std::pair{c1, "[7B blob data]"},
                                         {invalid, "[6B blob data]"},
                                         {kilo, "[1.9K blob data]"},
                                         {mega, "[1.2M blob data]"}}) {
        f.message = message;
        EXPECT_EQ(Render(f), std::string("2026-12-09T18:02:40+0000 web1 sshd[812]: ") + shown + "\n");
    }

    // The command stands in for a missing identifier, "unknown" for both; SYSLOG_PID for _PID. A
    // field of 300 bytes or more, or not printable, is left out.
    JournalEntryFields g;
    g.comm = "cron";
    g.syslogPid = "55";
    g.message = "x";
    EXPECT_EQ(Render(g), "2026-12-09T18:02:40+0000 cron[55]: x\n");
    g.comm = QByteArrayView();
    g.hostname = "h\x01";
    const QByteArray longIdentifier(300, 'i');
    g.identifier = longIdentifier;
    EXPECT_EQ(Render(g), "2026-12-09T18:02:40+0000 unknown[55]: x\n");
    // The source's own time wins when it is a time; the indent counts bytes.
    g.identifier = "\xc3\xa9";
    g.sourceRealtime = "1796839363500000";
    g.message = "a\nb";
    EXPECT_EQ(Render(g), "2026-12-09T18:02:43+0000 \xc3\xa9[55]: a\n" + Indent(33) + "b\n");
    g.sourceRealtime = "abc";
    EXPECT_EQ(Render(g, 1796839361000000).substr(0, 24), "2026-12-09T18:02:41+0000");
    g.message = QByteArrayView();
    EXPECT_EQ(Render(g), ""); // an entry without a message shows nothing
}

TEST(JournalName, FoldersMatchesAndUnits) {
    QString error;
    EXPECT_FALSE(ParseJournalName(QStringLiteral("/var/log/syslog"), &error));
    const auto local = ParseJournalName(QStringLiteral("journal:"), &error);
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->folder.isEmpty());
    EXPECT_TRUE(local->groups.empty());

    const auto both =
        ParseJournalName(QStringLiteral("journal:/srv/remote:SYSLOG_IDENTIFIER=sshd PRIORITY=3"), &error);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->folder, QStringLiteral("/srv/remote"));
    EXPECT_EQ(both->groups, (std::vector<std::vector<QByteArray>>{{"SYSLOG_IDENTIFIER=sshd", "PRIORITY=3"}}));

    // "+" alone or between matches is an "or"; inside a value it is the value's; a unit name
    // stands for its _SYSTEMD_UNIT match.
    const auto ors = ParseJournalName(QStringLiteral("journal:cron.service+_PID=1 + MESSAGE=a+b"), &error);
    ASSERT_TRUE(ors);
    EXPECT_TRUE(ors->folder.isEmpty());
    EXPECT_EQ(ors->groups, (std::vector<std::vector<QByteArray>>{
                               {"_SYSTEMD_UNIT=cron.service"}, {"_PID=1"}, {"MESSAGE=a+b"}}));

    EXPECT_FALSE(ParseJournalName(QStringLiteral("journal:/srv:sshd"), &error));
    EXPECT_EQ(error, QStringLiteral("Not a journal match: sshd"));
    EXPECT_FALSE(ParseJournalName(QStringLiteral("journal:lower=x"), &error));
}

} // namespace
