// The settings files in a hostile place: a full disk under a real writing process, and FIFOs,
// devices, folders and huge files where the files should be.
#include <future>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/settings_paths.h"
#include "store_test_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using store_test::ReadBytes;

using store_test::Kind;
using store_test::kKinds;

// One save by the store_writer helper; extra holds the environment that breaks the machine.
int RunWriter(const Kind& kind, const QString& path, int writer, const QProcessEnvironment& extra,
              QByteArray* errors) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : extra.keys())
        environment.insert(name, extra.value(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KOVRA_STORE_WRITER), {kind.arg, path, QString::number(writer), "1"});
    if (!process.waitForFinished(60000))
        return -1;
    *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The disk fills up at several points of a save: before its first byte, within its first block
// and at its last byte. The file keeps the last good save, no temporary file is left, and the
// writer says why.
TEST(FullDisk, AFailedSaveKeepsTheOldFileAndReportsTheFailure) {
    const QString shim = QStringLiteral(KOVRA_SYSCALL_SHIM);
    ASSERT_TRUE(QFileInfo(shim).isFile()) << "preload library missing: " << shim.toStdString();
    for (const Kind& kind : kKinds) {
        for (const int missing : {-1, -100, 1}) { // bytes free: none, 100, all but the last one
            SCOPED_TRACE(std::string(kind.arg) + " " + std::to_string(missing));
            QTemporaryDir dir;
            const QString path = dir.filePath(kind.fileName);
            QByteArray errors;
            ASSERT_EQ(RunWriter(kind, path, 1, {}, &errors), 0) << errors.toStdString();
            const QByteArray good = ReadBytes(path);
            ASSERT_GT(good.size(), 1000);
            const qsizetype budget = missing < 0 ? -missing - 1 : good.size() - missing;

            QProcessEnvironment full;
            full.insert("LD_PRELOAD", shim);
            full.insert("KOVRA_SHIM_WRITE_BUDGET", QString::number(budget));
            full.insert("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0");
            EXPECT_EQ(RunWriter(kind, path, 2, full, &errors), 1) << "a failed save is not a success";
            EXPECT_TRUE(errors.contains("No space left on device")) << errors.toStdString();
            EXPECT_EQ(ReadBytes(path), good);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList{kind.fileName});
        }
    }
}

// Reads in a thread of its own, so that a read that blocks fails the test instead of hanging it;
// a writer then opens the FIFO to set the reader free.
bool ReadWithin(const QString& path, QString* error) {
    auto reading = std::async(std::launch::async, [path] {
        QByteArray bytes;
        QString why;
        const bool ok = ReadSettingsBytes(path, &bytes, &why);
        return std::make_pair(ok, why);
    });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        ADD_FAILURE() << "reading " << path.toStdString() << " blocked";
    }
    const auto [ok, why] = reading.get();
    *error = why;
    return ok;
}

TEST(SettingsFiles, OnlyRegularFilesUpTo16MiBAreReadAndNothingBlocks) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath("zero");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    const QString huge = dir.filePath("huge");
    const QString limit = dir.filePath("limit");
    for (const auto& [file, size] :
         {std::pair{huge, kMaxSettingsFileBytes + 1}, {limit, kMaxSettingsFileBytes}}) {
        QFile sparse(file);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(size));
    }
    const struct {
        QString path;
        QString reason; // empty: read
    } cases[] = {{fifo, "not a regular file"},
                 {zero, "not a regular file"},
                 {dir.path(), "not a regular file"},
                 {huge, "the file is larger than 16 MiB"},
                 {limit, ""},
                 {dir.filePath("missing"), ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString error;
        EXPECT_EQ(ReadWithin(c.path, &error), c.reason.isEmpty());
        EXPECT_EQ(error, c.reason.isEmpty() ? QString() : "Cannot read \"" + c.path + "\": " + c.reason);
    }

    // A save never replaces what is not a regular file, and a link is followed to the file it names.
    for (const QString& path : {fifo, zero}) {
        QString error;
        EXPECT_FALSE(WriteFileAtomically(path, "x", FileAccess::Normal, &error));
        EXPECT_EQ(error, "Cannot write \"" + path + "\": not a regular file");
    }
    struct stat info {};
    EXPECT_TRUE(::lstat(QFile::encodeName(fifo).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_EQ(QFileInfo(zero).symLinkTarget(), "/dev/zero");
    const QString target = dir.filePath("target.ini");
    const QString link = dir.filePath("link.ini");
    store_test::WriteBytes(target, "old");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(WriteFileAtomically(link, "new", FileAccess::Normal, nullptr));
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), target);
}

} // namespace
