// Two programs saving one settings file at once, and a program killed while saving, must leave a
// file that holds one complete save. The saves come from the store_writer helper program.
#include <thread>

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "store_test_util.h"

namespace {

using store_test::Version;

using store_test::Kind;
using store_test::kKinds;

std::optional<Version> ReadVersion(const Kind& kind, const QString& path, QString* why) {
    if (QByteArray(kind.arg) == "reg") {
        RegistryStore store(path);
        return store.Load(why) ? store_test::ReadVersion(store, why) : std::nullopt;
    }
    IniFile ini(path);
    return ini.Load(why) ? store_test::ReadVersion(ini, why) : std::nullopt;
}

void StartWriter(QProcess& process, const Kind& kind, const QString& path, int writer, int rounds) {
    const QString program = QStringLiteral(KOVRA_STORE_WRITER);
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << "helper program missing: " << program.toStdString();
    process.start(program, {kind.arg, path, QString::number(writer), QString::number(rounds)});
    ASSERT_TRUE(process.waitForStarted(5000)) << process.errorString().toStdString();
}

TEST(StoreCrashSafety, TwoWritersSavingAtOnceLeaveOneCompleteVersion) {
    constexpr int kRounds = 200;
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.arg);
        QTemporaryDir dir;
        const QString path = dir.filePath(kind.fileName);
        QProcess first;
        QProcess second;
        for (QProcess* p : {&first, &second})
            p->setStandardOutputFile(QProcess::nullDevice());
        StartWriter(first, kind, path, 1, kRounds);
        StartWriter(second, kind, path, 2, kRounds);

        // Every read while they write sees a complete version, once the first one has landed.
        bool seenOne = false;
        while (first.state() != QProcess::NotRunning || second.state() != QProcess::NotRunning) {
            QString why;
            const bool complete = ReadVersion(kind, path, &why).has_value();
            ASSERT_TRUE(complete || !seenOne) << why.toStdString();
            seenOne = seenOne || complete;
            first.waitForFinished(1);
            second.waitForFinished(1);
        }
        for (QProcess* p : {&first, &second}) {
            EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        }
        QString why;
        const std::optional<Version> last = ReadVersion(kind, path, &why);
        ASSERT_TRUE(last) << why.toStdString();
        EXPECT_EQ(last->round, quint32(kRounds - 1)) << "the last save of one writer wins";
    }
}

TEST(StoreCrashSafety, WriterKilledWhileSavingLeavesTheLastCompleteVersion) {
    constexpr int kKills = 12;
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.arg);
        QTemporaryDir dir;
        const QString path = dir.filePath(kind.fileName);
        for (int writer = 1; writer <= kKills; ++writer) {
            QProcess process;
            StartWriter(process, kind, path, writer, 0);
            ASSERT_TRUE(process.waitForReadyRead(10000)) << "no save finished";
            std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
            process.kill();
            ASSERT_TRUE(process.waitForFinished(5000));
            const QList<QByteArray> rounds = process.readAllStandardOutput().trimmed().split('\n');
            const quint32 lastReported = rounds.back().toUInt();

            QString why;
            const std::optional<Version> version = ReadVersion(kind, path, &why);
            ASSERT_TRUE(version) << "kill " << writer << ": " << why.toStdString();
            EXPECT_EQ(version->writer, quint32(writer));
            // The kill may fall between a finished save and its report.
            EXPECT_TRUE(version->round == lastReported || version->round == lastReported + 1)
                << version->round << " after report " << lastReported;
        }
    }
}

} // namespace
