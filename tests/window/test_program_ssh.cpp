// The real program follows a file on a real SSH server named on its command line: a SIGTERM while
// it asks about the unknown server answers No and ends it; then, the server known, lines as they
// are appended, the reason in the INFO pane when the server goes, the follow resumed when it is
// back, and a SIGTERM that ends the process at once while the server does not answer (the window
// still answering meanwhile).
#include <QElapsedTimer>
#include <QFile>

#include "kovra_process.h"
#include "support/ssh_test_server.h"

namespace {

bool Append(const QString& file, const QByteArray& bytes) {
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Append) && out.write(bytes) == bytes.size();
}

class ProgramSsh : public ProgramTest {};

TEST_F(ProgramSsh, FollowsAnSshNameFromTheCommandLineAndEndsOnSigtermWhileTheServerHangs) {
    SshTestServer server; // HOME, and so ~/.ssh, is the server's folder for the program too
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const QString log = server.Files() + QStringLiteral("/syslog");
    ASSERT_TRUE(Append(log, "first line\n"));
    KovraProcess& asking = Start({QStringLiteral("/start"), server.Url(log)});
    ASSERT_TRUE(asking.WaitUp()) << asking.Output();
    EXPECT_TRUE(asking.WaitDescribed({{QStringLiteral("modal"), QStringLiteral("Kovra")}}))
        << asking.LastDescription();
    QElapsedTimer clock;
    clock.start();
    asking.Process().terminate();
    EXPECT_TRUE(asking.WaitExited(30000)) << asking.Output();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(QFile::exists(server.KnownHosts())) << "nobody said Yes";

    ASSERT_TRUE(server.TrustServer());
    KovraProcess& kovra = Start({QStringLiteral("/start"), server.Url(log)});
    ASSERT_TRUE(kovra.WaitUp()) << kovra.Output();
    EXPECT_TRUE(kovra.WaitDescribed({{QStringLiteral("status"), QStringLiteral("started")},
                                     {QStringLiteral("view"), QStringLiteral("first line")}}))
        << kovra.LastDescription();
    ASSERT_TRUE(Append(log, "second line\n"));
    EXPECT_TRUE(kovra.WaitDescribed({{QStringLiteral("view"), QStringLiteral("first line second line")}}))
        << kovra.LastDescription();

    server.Stop();
    const QString target = QStringLiteral("%1@127.0.0.1:%2").arg(server.UserName()).arg(server.Port());
    EXPECT_TRUE(kovra.WaitDescribed(
        {{QStringLiteral("infopane"), "Exception : Cannot connect to " + target + ": Connection refused"},
         {QStringLiteral("view"), QStringLiteral("first line second line")}}))
        << kovra.LastDescription();
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(Append(log, "third line\n"));
    EXPECT_TRUE(
        kovra.WaitDescribed({{QStringLiteral("view"), QStringLiteral("first line second line third line")}}))
        << kovra.LastDescription();

    // A pass waits on the frozen server; the window answers all the while.
    server.Freeze(true);
    EXPECT_TRUE(kovra.WaitDescribed({{QStringLiteral("statepane"), QStringLiteral("Loading filelist...")}}))
        << kovra.LastDescription();
    clock.restart();
    kovra.Process().terminate();
    EXPECT_TRUE(kovra.WaitExited(30000)) << kovra.Output();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(kovra.Process().exitStatus(), QProcess::NormalExit);
    server.Freeze(false);
}

} // namespace
