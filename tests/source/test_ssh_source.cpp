// Files on another machine through a real OpenSSH server on 127.0.0.1: names, reads, listings and
// the kept connection; host keys unknown, accepted, refused and changed; keys and passphrases; a
// server that goes away, comes back, or stops answering. The kind never touches the network on
// the window thread (this test's main thread), so every call here runs on a thread of its own.
#include <atomic>
#include <future>
#include <thread>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include "settings/uList.h"
#include "source/ssh_name.h"
#include "support/fake_source_questions.h"
#include "support/ssh_test_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

template <class Work> auto OffWindowThread(Work work) {
    return std::async(std::launch::async, work).get();
}

SourceFacts FactsOf(const QString& name, SourceCancel cancel = nullptr) {
    return OffWindowThread([&] { return SourceKindOf(name).Facts(name, cancel); });
}

// Asks again while the server cannot be reached (it was just started again), at most 30 s.
SourceFacts FactsOnceUp(const QString& name) {
    SourceFacts facts;
    QElapsedTimer clock;
    clock.start();
    do
        facts = FactsOf(name);
    while ((facts.error.startsWith("Cannot connect") || facts.error.startsWith("Connection to")) &&
           clock.elapsed() < 30000);
    return facts;
}

bool Write(const QString& file, const QByteArray& bytes) {
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

class SshSource : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Error().isEmpty()) << server.Error().toStdString();
        questions = FakeSourceQuestions::Install();
    }
    void TearDown() override { SetSourceQuestions(nullptr); }
    QString Remote(const QString& name) const { return server.Url(server.Files() + u'/' + name); }
    QString Target() const {
        return QStringLiteral("%1@127.0.0.1:%2").arg(server.UserName()).arg(server.Port());
    }

    SshTestServer server;
    std::shared_ptr<FakeSourceQuestions> questions;
};

TEST(SshName, PartsOfANameAndMalformedOnes) {
    QString error;
    const std::optional<SshName> plain = ParseSshName(QStringLiteral("ssh://web/var/log/syslog"), &error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "web");
    EXPECT_EQ(plain->user, "");
    EXPECT_EQ(plain->port, 0);
    EXPECT_EQ(plain->path, "/var/log/syslog");
    const std::optional<SshName> full = ParseSshName(QStringLiteral("SFTP://me@[::1]:2222/a b/c"), &error);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->Target(), "me@[::1]:2222");
    EXPECT_EQ(full->path, "/a b/c");
    for (const char* bad :
         {"ssh://web", "ssh://web:0/x", "ssh://web:70000/x", "ssh://:22/x", "ssh://[::1/x", "ssh://me@/x"})
        EXPECT_FALSE(ParseSshName(QString::fromLatin1(bad), &error)) << bad;
    EXPECT_FALSE(IsSshName(QStringLiteral("/tmp/ssh://x")));
    const SourceKind& kind = SourceKindOf(QStringLiteral("sftp://web/var/log/syslog"));
    EXPECT_FALSE(kind.Traits().localFile);
    EXPECT_TRUE(kind.Traits().mayBlock);
    EXPECT_EQ(kind.ShortName(QStringLiteral("sftp://web/var/log/syslog")), "syslog");
    EXPECT_EQ(kind.Watch(QStringLiteral("sftp://web/var/log/syslog"), [] {}), nullptr);
}

TEST_F(SshSource, ReadsListsAndResolvesOverOneKeptConnection) {
    ASSERT_TRUE(server.TrustServer());
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    QByteArray big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
        big += "line " + QByteArray::number(i) + '\n';
    ASSERT_TRUE(Write(server.Files() + "/big.log", big));
    for (const char* name : {"old-1.log", "new-2.log", "other.txt"})
        ASSERT_TRUE(Write(server.Files() + '/' + name, name));
    const QDateTime older = QDateTime::currentDateTime().addDays(-2);
    QFile named(server.Files() + "/old-1.log");
    ASSERT_TRUE(named.open(QIODevice::ReadWrite) &&
                named.setFileTime(older, QFileDevice::FileModificationTime));
    named.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(server.Files() + "/fifo.log").constData(), 0600), 0);

    const SourceFacts facts = FactsOf(Remote("big.log"));
    ASSERT_EQ(facts.error, "");
    EXPECT_TRUE(facts.exists && facts.isFile && !facts.isDir);
    EXPECT_EQ(facts.size, big.size());
    EXPECT_EQ(facts.lastModified.toSecsSinceEpoch(),
              QFileInfo(server.Files() + "/big.log").lastModified().toSecsSinceEpoch());
    const QList<qint64> sessions = server.Processes();

    const SourceFacts missing = FactsOf(Remote("gone.log"));
    EXPECT_EQ(missing.error, "");
    EXPECT_FALSE(missing.exists);
    EXPECT_TRUE(FactsOf(server.Url(server.Files())).isDir);

    OffWindowThread([&] {
        QString error;
        const std::unique_ptr<SourceReader> reader =
            SourceKindOf(Remote("big.log")).Open(Remote("big.log"), &error);
        ASSERT_TRUE(reader) << error.toStdString();
        EXPECT_EQ(reader->Stamp().size, big.size());
        QByteArray data(big.size(), '\0');
        // A range of many requests in flight, and one past the end.
        ASSERT_EQ(reader->ReadAt(100, data.data(), big.size()), big.size() - 100);
        EXPECT_TRUE(data.first(big.size() - 100) == big.sliced(100));
        EXPECT_EQ(reader->ReadAt(big.size(), data.data(), 10), 0);
        // A FIFO is refused unopened: opening it would hold the server's side until a writer came.
        EXPECT_FALSE(SourceKindOf(Remote("fifo.log")).Open(Remote("fifo.log"), &error));
        EXPECT_EQ(error, "Not a regular file");
    });
    // The newest match, and the greatest name, as for a local pattern.
    const QString pattern = Remote("*-?.log");
    EXPECT_EQ(OffWindowThread([&] { return TTailFileManager::ResolvePattern(pattern, 1); }),
              Remote("new-2.log"));
    EXPECT_EQ(OffWindowThread([&] { return TTailFileManager::ResolvePattern(pattern, 0); }),
              Remote("old-1.log"));
    EXPECT_EQ(server.Processes(), sessions) << "every request went over the first connection";

    // An alias of ~/.ssh/config: its HostName, Port, User and IdentityFile (the only key) apply.
    // (libssh takes ~ in the file from the password database, not from the test's HOME.)
    const QString ssh = server.Home() + QStringLiteral("/.ssh/");
    ASSERT_TRUE(QFile::rename(ssh + "id_ed25519", ssh + "web1_key") &&
                Write(ssh + "config", QStringLiteral("Host web1\n HostName 127.0.0.1\n Port %1\n User %2\n"
                                                     " IdentityFile %3web1_key\n")
                                          .arg(server.Port())
                                          .arg(server.UserName(), ssh)
                                          .toUtf8()));
    const SourceFacts aliased = FactsOf("ssh://web1" + server.Files() + "/big.log");
    EXPECT_EQ(aliased.size, big.size()) << aliased.error.toStdString();

    // On the window thread nothing waits on the network: facts fail at once, a pattern resolves
    // from the last listing.
    EXPECT_TRUE(SourceKindOf(pattern).Facts(Remote("big.log")).error.contains("window thread"));
    EXPECT_EQ(TTailFileManager::ResolvePattern(pattern, 1), Remote("new-2.log"));
}

TEST_F(SshSource, UnknownHostIsAskedOnceAChangedKeyIsRefusedWithItsLine) {
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const QString name = Remote("a.log");
    questions->QueueConfirm(false);
    EXPECT_TRUE(FactsOf(name).error.contains("was not accepted"));
    ASSERT_EQ(questions->Asked().size(), 1);
    EXPECT_TRUE(questions->Asked()[0].contains(server.HostKeyFingerprint()))
        << questions->Asked()[0].toStdString();
    EXPECT_TRUE(questions->Asked()[0].contains(QStringLiteral("[127.0.0.1]:%1").arg(server.Port())));
    EXPECT_TRUE(FactsOf(name).error.contains("was not accepted"));
    EXPECT_EQ(questions->Asked().size(), 1) << "a refused key is not asked about again";
    EXPECT_FALSE(QFile::exists(server.KnownHosts()));

    // Another key is another question; Yes records it.
    ASSERT_TRUE(server.NewHostKey());
    server.Stop();
    ASSERT_TRUE(server.Start());
    questions->QueueConfirm(true);
    EXPECT_EQ(FactsOf(name).error, "");
    ASSERT_EQ(questions->Asked().size(), 2);
    QFile known(server.KnownHosts());
    ASSERT_TRUE(known.open(QIODevice::ReadOnly));
    EXPECT_TRUE(known.readAll().startsWith(
        QStringLiteral("[127.0.0.1]:%1 ssh-ed25519 ").arg(server.Port()).toUtf8()));
    server.Stop();
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(FactsOnceUp(name).error, "");
    EXPECT_EQ(questions->Asked().size(), 2) << "a recorded key is not asked about";

    ASSERT_TRUE(server.NewHostKey());
    server.Stop();
    ASSERT_TRUE(server.Start());
    const QString error = FactsOnceUp(name).error;
    EXPECT_TRUE(error.contains("is not the one recorded")) << error.toStdString();
    EXPECT_TRUE(error.contains(server.KnownHosts() + ", line 1")) << error.toStdString();
    EXPECT_EQ(questions->Asked().size(), 2);
}

TEST_F(SshSource, AnUnknownKeyIsDeniedAPasswordAndAPassphraseAreAskedAndKept) {
    ASSERT_TRUE(server.TrustServer());
    ASSERT_TRUE(server.UseUnknownKey());
    ASSERT_TRUE(server.AcceptPasswords());
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const QString name = Remote("a.log");
    // The server refuses every password (it cannot check the test user's): each wrong one is
    // forgotten and asked again, three times at most; a refusal is not asked again.
    questions->QueueSecret(QStringLiteral("first guess"));
    questions->QueueSecret(QStringLiteral("second guess"));
    questions->QueueSecret(std::nullopt);
    const QString denied = "Permission denied for " + Target() + " (the server accepts: publickey, password)";
    EXPECT_EQ(FactsOf(name).error, denied);
    EXPECT_EQ(FactsOf(name).error, denied);
    EXPECT_EQ(questions->Asked(), QStringList(3, "Password for " + Target() + ":"));

    ASSERT_TRUE(server.UseAuthorizedKey(QStringLiteral("secret words")));
    questions->QueueSecret(QStringLiteral("wrong words"));
    EXPECT_TRUE(FactsOf(name).error.startsWith("Permission denied"));
    questions->QueueSecret(QStringLiteral("secret words")); // the wrong one was forgotten
    EXPECT_EQ(FactsOf(name).error, "");
    ASSERT_EQ(questions->Asked().size(), 5);
    EXPECT_EQ(questions->Asked()[4], "Passphrase of key 1 for " + Target() + ":");
    server.Stop();
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(FactsOnceUp(name).error, "");
    EXPECT_EQ(questions->Asked().size(), 5) << "the passphrase is kept for the process";
}

TEST_F(SshSource, AServerGoneComesBackAndOneThatHangsIsBoundedAndStoppable) {
    ASSERT_TRUE(server.TrustServer());
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const QString name = Remote("a.log");
    ASSERT_TRUE(Write(server.Files() + "/a.log", "a\n"));
    ASSERT_EQ(FactsOf(name).size, 2);
    server.Stop();
    const QString gone = FactsOf(name).error;
    EXPECT_TRUE(gone.startsWith("Cannot connect to " + Target() + ": Connection refused"))
        << gone.toStdString();
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(FactsOnceUp(name).size, 2);

    server.Freeze(true);
    std::atomic<bool> cancel{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(FactsOf(name, &cancel).error.startsWith("Stopped while waiting for " + Target()));
    EXPECT_LT(clock.elapsed(), 5000);
    stopper.join();
    clock.restart();
    EXPECT_EQ(FactsOf(name).error, "Cannot connect to " + Target() + ": no answer within 10 s");
    EXPECT_GE(clock.elapsed(), 9000);
    EXPECT_LT(clock.elapsed(), 30000);
    server.Freeze(false);
    EXPECT_EQ(FactsOnceUp(name).size, 2);

    // Connected, then no answer to a request.
    server.Freeze(true);
    clock.restart();
    EXPECT_EQ(FactsOf(name).error, "No answer from " + Target() + " within 15 s");
    EXPECT_GE(clock.elapsed(), 14000);
    EXPECT_LT(clock.elapsed(), 40000);
    server.Freeze(false);
    EXPECT_EQ(FactsOnceUp(name).error, "");
}

} // namespace
