// The journal as a source, on journal files written by the real systemd-journal-remote: the text
// of its entries, read in ranges that keep their bytes while the journal grows, its facts, and the
// notification that an entry came.
#include <cstdlib>
#include <ctime>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "engine/followed_file.h"
#include "source/source.h"
#include "support/journal_writer.h"

namespace {

class JournalSource : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        name_ = QStringLiteral("journal:") + dir_.path();
    }
    void Journal(const QString& file, const JournalExport& entries) {
        QString error;
        ASSERT_TRUE(WriteJournal(dir_.filePath(file), entries, &error)) << error.toStdString();
    }
    QByteArray ReadAll(qint64 from = 0) {
        FollowedFile file;
        EXPECT_TRUE(file.Open(name_)) << file.ErrorString().toStdString();
        QByteArray bytes(file.Size() - from, '\0');
        EXPECT_EQ(file.ReadAt(from, bytes.data(), bytes.size()), bytes.size());
        return bytes;
    }

    QTemporaryDir dir_;
    QString name_;
};

TEST_F(JournalSource, TextKeepsItsBytesWhileTheJournalGrowsAndTellsOfNewEntries) {
    const char* otherBoot = "fedcba9876543210fedcba9876543210";
    Journal("remote.journal",
            JournalExport()
                .Line(0, "sshd", "ssh.service", "one")
                .Entry(1, {{"_HOSTNAME", "web1"}, {"_COMM", "kernel"}}) // no message
                .Entry(2, {{"_HOSTNAME", "web1"}, {"_COMM", "kernel"}, {"MESSAGE", "booted"}}, otherBoot));
    const SourceKind& kind = SourceKindOf(name_);
    EXPECT_FALSE(kind.Traits().localFile);
    EXPECT_EQ(kind.Traits().typeLabel, QStringLiteral("Journal"));
    EXPECT_EQ(kind.ShortName(name_ + ":cron.service"),
              "journal:" + QDir(dir_.path()).dirName() + ":cron.service");
    const QByteArray first = "2026-12-09T18:02:40+0000 web1 sshd[100]: one\n"
                             "-- Boot fedcba9876543210fedcba9876543210 --\n"
                             "2026-12-09T18:02:42+0000 web1 kernel: booted\n";
    EXPECT_EQ(ReadAll().toStdString(), first.toStdString());
    FollowedFile before;
    ASSERT_TRUE(before.Open(name_));

    int changes = 0;
    const std::unique_ptr<SourceWatch> watch = kind.Watch(name_, [&] { ++changes; });
    ASSERT_TRUE(watch);
    Journal("remote.journal", JournalExport().Line(3, "sshd", "ssh.service", "two\nlines"));
    QDeadlineTimer deadline(30000);
    while (changes == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GT(changes, 0) << "no notification of the new entry";

    const SourceFacts facts = kind.Facts(name_);
    const QByteArray grown =
        first +
        "-- Boot 0123456789abcdef0123456789abcdef --\n2026-12-09T18:02:43+0000 web1 sshd[103]: two\n" +
        QByteArray(41, ' ') + "lines\n";
    EXPECT_TRUE(facts.exists && facts.isFile && facts.error.isEmpty() && facts.notice.isEmpty());
    EXPECT_EQ(facts.size, grown.size());
    EXPECT_EQ(facts.lastModified, QDateTime::fromMSecsSinceEpoch(JournalExport::kFirstUs / 1000 + 3000));
    EXPECT_EQ(ReadAll().toStdString(), grown.toStdString());
    EXPECT_EQ(ReadAll(10).toStdString(), grown.mid(10).toStdString());
    // The open made before the growth reads the same bytes, and the text is the same source.
    QByteArray old(first.size(), '\0');
    EXPECT_EQ(before.ReadAt(0, old.data(), old.size()), first.size());
    EXPECT_EQ(old, first);
    FollowedFile after;
    ASSERT_TRUE(after.Open(name_));
    EXPECT_TRUE(after.Stamp().SameFile(before.Stamp()));
    EXPECT_EQ(before.Size(), first.size());

    // Names that are not journals of a folder that exists.
    FollowedFile bad;
    EXPECT_FALSE(bad.Open(QStringLiteral("journal:/no/such/folder")));
    const SourceFacts badMatch = kind.Facts(name_ + ":sshd");
    EXPECT_EQ(badMatch.error, QStringLiteral("Not a journal match: sshd"));
}

} // namespace

namespace {

// The view asks with each line as it shows it (kill space may have folded its blanks).
TEST_F(JournalSource, EachLineTakesTheLevelOfItsEntrysPriority) {
    Journal(
        "remote.journal",
        JournalExport()
            .Entry(
                0,
                {{"_HOSTNAME", "web1"}, {"_COMM", "app"}, {"PRIORITY", "3"}, {"MESSAGE", "all fine\nsecond"}})
            .Entry(1, {{"_HOSTNAME", "web1"}, {"_COMM", "app"}, {"PRIORITY", "4"}, {"MESSAGE", "low disk"}})
            .Entry(
                2,
                {{"_HOSTNAME", "web1"}, {"_COMM", "app"}, {"PRIORITY", "6"}, {"MESSAGE", "ERROR in words"}})
            .Entry(3, {{"_HOSTNAME", "web1"}, {"_COMM", "app"}, {"PRIORITY", "7"}, {"MESSAGE", "poll"}})
            .Entry(4, {{"_HOSTNAME", "web1"}, {"_COMM", "app"}, {"MESSAGE", "no priority"}}));
    const LineLevelLookup levels = SourceKindOf(name_).LineLevels(name_);
    ASSERT_TRUE(levels);
    EXPECT_EQ(levels(u"2026-12-09T18:02:40+0000 web1 app: all fine"), LineLevel::Plain) << "nothing read yet";
    const QStringList lines = QString::fromUtf8(ReadAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << lines.join(u'|').toStdString();
    const LineLevel expected[] = {LineLevel::Error, LineLevel::Error, LineLevel::Warning,
                                  LineLevel::Plain, LineLevel::Debug, LineLevel::Plain};
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(levels(lines[i]), expected[i]) << lines[i].toStdString();
    EXPECT_EQ(levels(QString(lines[0]).replace(QStringLiteral("  "), QStringLiteral(" "))), LineLevel::Error);
    EXPECT_EQ(levels(lines[1].trimmed()), LineLevel::Error) << "the continuation, its indent folded";
    EXPECT_FALSE(SourceKindOf(dir_.filePath(QStringLiteral("x.log"))).LineLevels(QStringLiteral("x.log")))
        << "a file's lines tell their level by their words";
}

} // namespace
