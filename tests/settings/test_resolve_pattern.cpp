#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>

#include "settings/folder_listing.h"
#include "settings/uList.h"
#include "settings_fixture.h"
#include "source/source.h"
#include "support/fake_dialogs.h"

namespace {

class ResolvePattern : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(logs_.isValid());
    }
    QString Logs() const { return logs_.path() + '/'; }
    void Create(const QString& name) const { WriteText(Logs() + name, "line\n"); }
    void SetModified(const QString& name, const QDateTime& time) const {
        QFile file(Logs() + name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    static QString Resolve(const QString& pattern, int order) {
        return TTailFileManager::ResolvePattern(pattern, order);
    }

    QTemporaryDir logs_;
};

// Local time, on an even second, well in the past.
QDateTime At(int hour, int minute, int second) {
    return QDateTime(QDate(2023, 5, 17), QTime(hour, minute, second));
}

TEST_F(ResolvePattern, OrderByNameLastWriteAndCreation) {
    // c.log has the greatest name, b.log the newest write, a.log the newest creation.
    Create("c.log");
    Create("b.log");
    SetModified("c.log", At(9, 0, 0));
    SetModified("b.log", At(11, 0, 0));
    // Creation keys have two-second steps: a.log must be created in a later step than the others.
    // Where the file system keeps no birth time the metadata change time stands in; setting the
    // times above was the last change to c.log and b.log, so it ranks the same way. The file
    // system stamps times from its own coarse clock, which lags the wall clock: the created
    // file's own time is what must have moved on, so a.log is created again until it has.
    const auto step = [](const QDateTime& t) { return t.toSecsSinceEpoch() / 2; };
    const auto created = [](const QFileInfo& info) {
        return info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime();
    };
    const qint64 lastChange = std::max(step(QFileInfo(Logs() + "b.log").metadataChangeTime()),
                                       step(QFileInfo(Logs() + "b.log").birthTime()));
    QElapsedTimer waited;
    waited.start();
    Create("a.log");
    while (step(created(QFileInfo(Logs() + "a.log"))) <= lastChange && waited.elapsed() < 20000) {
        QThread::msleep(50);
        ASSERT_TRUE(QFile::remove(Logs() + "a.log"));
        Create("a.log");
    }
    ASSERT_GT(step(created(QFileInfo(Logs() + "a.log"))), lastChange)
        << "the file system clock did not move on";
    SetModified("a.log", At(8, 0, 0));

    const QString pattern = Logs() + "*.log";
    EXPECT_EQ(Resolve(pattern, 0), Logs() + "c.log");
    EXPECT_EQ(Resolve(pattern, 1), Logs() + "b.log");
    EXPECT_EQ(Resolve(pattern, 2), Logs() + "a.log");
    EXPECT_EQ(Resolve(pattern, 7), Logs() + "c.log") << "any other order ranks by name";
    EXPECT_EQ(Resolve(pattern, -1), Logs() + "c.log");
}

TEST_F(ResolvePattern, SameTwoSecondStepIsDecidedByName) {
    Create("x.log");
    Create("y.log");
    Create("z.log");
    SetModified("y.log", At(10, 0, 0));
    SetModified("x.log", At(10, 0, 1)); // one second newer, same step
    SetModified("z.log", At(9, 59, 59));
    EXPECT_EQ(Resolve(Logs() + "*.log", 1), Logs() + "y.log");

    SetModified("x.log", At(10, 0, 2));
    EXPECT_EQ(Resolve(Logs() + "*.log", 1), Logs() + "x.log") << "nothing is cached between calls";
}

TEST_F(ResolvePattern, NamesCompareAsTextNotAsNumbers) {
    for (const char* name : {"app1.log", "app10.log", "app9.log", "other.txt"})
        Create(name);
    EXPECT_EQ(Resolve(Logs() + "app*.log", 0), Logs() + "app9.log");
}

TEST_F(ResolvePattern, WildcardsMatchTheNamePartOnly) {
    for (const char* name : {"a.log", ".hidden.log", "B.LOG", "c[1].log", "ab.log"})
        Create(name);
    ASSERT_TRUE(QDir(Logs()).mkdir("z.log"));
    ASSERT_TRUE(QDir(Logs()).mkdir("only.d"));
    struct Case {
        const char* pattern;
        const char* expected; // relative to the folder
    };
    const Case cases[] = {
        {"*.log", "c[1].log"},  // the folder z.log is skipped
        {"?.log", "a.log"},     // "?" is exactly one character
        {".h*", ".hidden.log"}, // hidden files count
        {"c[1]*", "c[1].log"},  // brackets are plain characters
        {"*.LOG", "B.LOG"},     // matching keeps case, like the shell
        {"*.d", "*.d"},         // only a folder matches: the pattern itself
        {"*.none", "*.none"},   // nothing matches
    };
    for (const Case& c : cases)
        EXPECT_EQ(Resolve(Logs() + c.pattern, 0), Logs() + c.expected) << c.pattern;

    for (const QString& plain :
         {Logs() + "a.log", Logs() + "missing.log", QStringLiteral("relative.log"), Logs() + "z.log"})
        EXPECT_EQ(Resolve(plain, 1), plain) << "a name without wildcards is returned unchanged";
    EXPECT_EQ(Resolve(Logs() + "no such folder/*.log", 0), Logs() + "no such folder/*.log");
}

TEST_F(ResolvePattern, BarePatternGivesABareName) {
    Create("one.log");
    Create("two.log");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Logs()));
    const QString resolved = Resolve("*.log", 0);
    QDir::setCurrent(before);
    EXPECT_EQ(resolved, "two.log");
}

// A journal name's wildcards are its match's: no file of the working folder stands for them.
TEST_F(ResolvePattern, AJournalNameIsNoPattern) {
    Create("journal:MESSAGE=ab");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Logs()));
    const QString resolved = Resolve("journal:MESSAGE=a*", 0);
    QDir::setCurrent(before);
    EXPECT_EQ(resolved, "journal:MESSAGE=a*");
}

TEST_F(ResolvePattern, ManagerResolvesWithTheCurrentFilesReadMethod) {
    Create("b.log");
    Create("a.log");
    SetModified("b.log", At(9, 0, 0));
    SetModified("a.log", At(12, 0, 0));
    FakeDialogService dialogs;
    TTailFileManager manager(&dialogs);
    const QString pattern = Logs() + "*.log";
    manager.SetFileName(pattern);
    EXPECT_EQ(manager.ResolveFileName(), Logs() + "b.log") << "no entry: by name";

    TTailFile* entry = manager.List->AddFile(pattern, "");
    entry->SetReadMethod(2);
    manager.SetFileName(pattern);
    EXPECT_EQ(manager.ResolveFileName(), Logs() + "a.log");
    entry->ReadMethod.clear();
    manager.List->DefFile->ReadMethod = "2";
    EXPECT_EQ(manager.ResolveFileName(), Logs() + "a.log") << "the read method inherits";
}

// A folder of 100,000 matching files is listed once while it does not change: the greatest name
// comes from that listing, a write to a file (which leaves the folder as it was) still counts for
// the newest write, and a new file makes a new listing.
TEST_F(ResolvePattern, AFolderOf100000FilesIsListedAgainOnlyWhenItChanges) {
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name =
            QFile::encodeName(Logs() + QStringLiteral("app-%1.log").arg(i, 6, 10, QLatin1Char('0')));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    Create("other.txt");
    // The folder last changed long ago: its listing can be kept.
    const timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(logs_.path()).constData(), old, 0), 0);
    FolderListing listing;
    const QString pattern = Logs() + "app-*.log";
    const auto serial = [&] { return listing.Files(SourceKindOf(pattern), Logs())->serial; };
    EXPECT_EQ(TTailFileManager::ResolvePattern(pattern, 0, &listing), Logs() + "app-099999.log");
    const quint64 first = serial();
    SetModified("app-000007.log", QDateTime(QDate(2099, 1, 1), QTime(0, 0)));
    EXPECT_EQ(TTailFileManager::ResolvePattern(pattern, 1, &listing), Logs() + "app-000007.log")
        << "a write leaves the folder as it was and is seen all the same";
    EXPECT_EQ(TTailFileManager::ResolvePattern(pattern, 0, &listing), Logs() + "app-099999.log");
    EXPECT_EQ(serial(), first) << "listed once";

    Create("app-100000.log");
    EXPECT_EQ(TTailFileManager::ResolvePattern(pattern, 0, &listing), Logs() + "app-100000.log");
    EXPECT_NE(serial(), first);
}

} // namespace
