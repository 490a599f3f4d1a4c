#include "platform/instances.h"

#include <map>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "wait_until.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A tail window of another process, as far as the channel goes.
class Peer final {
public:
    Peer(const QString& caption, quint32 identity, const QString& record,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
        : m_record(record) {
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(KOVRA_INSTANCE_PEER), {caption, QString::number(identity), record});
    }
    ~Peer() {
        m_process.kill();
        m_process.waitForFinished();
    }
    // The handle the peer printed once it listens; -1 when it did not come up.
    qint32 WaitListening() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kDeadlineMs))
                return -1;
        }
        return m_process.readLine().trimmed().toInt();
    }
    QStringList Received() const {
        QFile file(m_record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QProcess& Process() { return m_process; }

private:
    QString m_record;
    QProcess m_process;
};

std::string Show(const QStringList& list) {
    return list.join(u',').toStdString();
}
std::string Show(const QList<int>& list) {
    QStringList texts;
    for (int value : list)
        texts << QString::number(value);
    return Show(texts);
}

QList<int> Modes(const QSignalSpy& spy) {
    QList<int> modes;
    for (const auto& arguments : spy)
        modes << arguments.at(0).toInt();
    return modes;
}

std::map<QString, qint32> AsMap(const TXStringIntList& list) {
    std::map<QString, qint32> pairs;
    for (int i = 0; i < list.Count(); ++i)
        pairs[list.Strings(i)] = list.RItems(i)->Value;
    return pairs;
}

std::unique_ptr<InstanceChannel> OpenChannel(const QString& caption, quint32 identity) {
    auto channel = std::make_unique<InstanceChannel>();
    channel->SetCaption(caption);
    channel->SetIdentity(identity);
    EXPECT_TRUE(channel->Listen());
    return channel;
}

class Instances : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        m_hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    }
    void TearDown() override {
        if (m_hadRuntime)
            qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    QString Folder() const { return m_dir.filePath(QStringLiteral("kovra")); }
    QString Record(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QByteArray m_oldRuntime;
    bool m_hadRuntime = false;
};

mode_t ModeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

TEST_F(Instances, FolderIsPrivateAndOnlyOursIsUsed) {
    EXPECT_EQ(InstanceFolder(), Folder());
    EXPECT_EQ(ModeOf(Folder()), 0700u);

    const QString loose = m_dir.filePath(QStringLiteral("loose"));
    ASSERT_EQ(::mkdir(QFile::encodeName(loose).constData(), 0755), 0);
    EXPECT_TRUE(PrepareInstanceFolder(loose, ::getuid()));
    EXPECT_EQ(ModeOf(loose), 0700u);

    EXPECT_FALSE(PrepareInstanceFolder(loose, ::getuid() + 1)) << "another user's folder";
    const QString link = m_dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(loose, link));
    EXPECT_FALSE(PrepareInstanceFolder(link, ::getuid())) << "a link, even to our own folder";
    const QString plain = m_dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(PrepareInstanceFolder(plain, ::getuid())) << "a file";

    // A runtime folder that does not exist falls back to /tmp.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath(QStringLiteral("missing"))));
    const QString fallback = QStringLiteral("/tmp/kovra-%1").arg(::getuid());
    EXPECT_EQ(InstanceFolder(), fallback);
    EXPECT_EQ(ModeOf(fallback), 0700u);
}

TEST_F(Instances, CollectSeesEveryKovraWindowIncludingThisProcess) {
    const auto own = OpenChannel(QStringLiteral("KOVRA - 1.0.0 (build 1)"), 1);
    const auto wrongCase = OpenChannel(QStringLiteral("Kovra - not a sibling"), 2);
    const auto noCaption = OpenChannel(QString(), 3);
    Peer peer(QStringLiteral("KOVRA - peer"), 4, Record(QStringLiteral("peer.txt")));
    const qint32 peerHandle = peer.WaitListening();
    ASSERT_GT(peerHandle, 0);
    EXPECT_NE(peerHandle, own->Handle());

    const auto siblings = CollectSiblingWindows();
    const std::map<QString, qint32> expected{{QStringLiteral("KOVRA - 1.0.0 (build 1)"), own->Handle()},
                                             {QStringLiteral("KOVRA - peer"), peerHandle}};
    EXPECT_EQ(AsMap(*siblings), expected);
    EXPECT_EQ(siblings->Count(), 2);

    // The handle leads back to the window: each gets what was posted to its own handle.
    QSignalSpy ownSpy(own.get(), &InstanceChannel::ShowHideRequested);
    EXPECT_TRUE(PostShowHide(peerHandle, kShowHideMinimise));
    EXPECT_TRUE(PostShowHide(own->Handle(), kShowHideRestore));
    EXPECT_TRUE(WaitUntil([&] { return peer.Received() == QStringList{"1"}; })) << Show(peer.Received());
    EXPECT_TRUE(WaitUntil([&] { return Modes(ownSpy) == QList<int>{0}; })) << Show(Modes(ownSpy));
}

TEST_F(Instances, FindRunningInstanceRestoresEveryOtherMatchingWindowOnly) {
    const auto self = OpenChannel(QStringLiteral("KOVRA - self"), 42);
    const auto other = OpenChannel(QStringLiteral("KOVRA - other"), 7);
    Peer first(QStringLiteral("KOVRA - first"), 42, Record(QStringLiteral("first.txt")));
    Peer second(QStringLiteral("KOVRA - second"), 42, Record(QStringLiteral("second.txt")));
    ASSERT_GT(first.WaitListening(), 0);
    ASSERT_GT(second.WaitListening(), 0);
    QSignalSpy selfSpy(self.get(), &InstanceChannel::ShowHideRequested);
    QSignalSpy otherSpy(other.get(), &InstanceChannel::ShowHideRequested);

    EXPECT_TRUE(FindRunningInstance(*self, 42));
    EXPECT_TRUE(WaitUntil([&] { return first.Received() == QStringList{"0"}; })) << Show(first.Received());
    EXPECT_TRUE(WaitUntil([&] { return second.Received() == QStringList{"0"}; })) << Show(second.Received());

    EXPECT_FALSE(FindRunningInstance(*self, 99)) << "nobody carries that identity";
    EXPECT_FALSE(FindRunningInstance(*other, 7)) << "only the asking window carries it";

    // Hide all reaches everyone after the restores above, so the spies show what came before it.
    HideAll();
    EXPECT_TRUE(WaitUntil([&] { return Modes(selfSpy) == QList<int>{1}; })) << Show(Modes(selfSpy));
    EXPECT_TRUE(WaitUntil([&] { return Modes(otherSpy) == QList<int>{1}; })) << Show(Modes(otherSpy));
    EXPECT_TRUE(WaitUntil([&] {
        return first.Received() == (QStringList{"0", "1"});
    })) << Show(first.Received());
    EXPECT_TRUE(WaitUntil([&] {
        return second.Received() == (QStringList{"0", "1"});
    })) << Show(second.Received());
}

TEST_F(Instances, ShowAllAndHideAllReachEverySiblingIncludingThisOne) {
    const auto self = OpenChannel(QStringLiteral("KOVRA - self"), 1);
    const auto dialog = OpenChannel(QStringLiteral("KOVRA! no prefix"), 0);
    Peer peer(QStringLiteral("KOVRA - peer"), 2, Record(QStringLiteral("peer.txt")));
    ASSERT_GT(peer.WaitListening(), 0);
    QSignalSpy selfSpy(self.get(), &InstanceChannel::ShowHideRequested);
    QSignalSpy dialogSpy(dialog.get(), &InstanceChannel::ShowHideRequested);

    ShowAll();
    HideAll();
    EXPECT_TRUE(WaitUntil([&] { return Modes(selfSpy) == (QList<int>{0, 1}); })) << Show(Modes(selfSpy));
    EXPECT_TRUE(WaitUntil([&] {
        return peer.Received() == (QStringList{"0", "1"});
    })) << Show(peer.Received());

    // Values other than 0 and 1 are ignored; a later request shows that the earlier one arrived.
    EXPECT_TRUE(PostShowHide(self->Handle(), 5));
    EXPECT_TRUE(PostShowHide(self->Handle(), -1));
    EXPECT_TRUE(PostShowHide(dialog->Handle(), kShowHideMinimise));
    EXPECT_TRUE(WaitUntil([&] { return Modes(dialogSpy) == QList<int>{1}; })) << Show(Modes(dialogSpy));
    EXPECT_TRUE(PostShowHide(self->Handle(), kShowHideRestore));
    EXPECT_TRUE(WaitUntil([&] { return Modes(selfSpy) == (QList<int>{0, 1, 0}); })) << Show(Modes(selfSpy));
}

TEST_F(Instances, SocketsOfDeadProcessesAreSkippedAndRemoved) {
    Peer peer(QStringLiteral("KOVRA - doomed"), 3, Record(QStringLiteral("doomed.txt")));
    const qint32 handle = peer.WaitListening();
    ASSERT_GT(handle, 0);
    const QString socket = QDir(Folder()).filePath(QStringLiteral("w%1").arg(handle));
    ASSERT_TRUE(QFileInfo::exists(socket));
    peer.Process().kill(); // SIGKILL: no chance to remove its socket
    ASSERT_TRUE(peer.Process().waitForFinished(kDeadlineMs));
    ASSERT_TRUE(QFileInfo::exists(socket)) << "a killed process leaves its socket behind";

    const auto alive = OpenChannel(QStringLiteral("KOVRA - alive"), 4);
    const auto siblings = CollectSiblingWindows();
    EXPECT_EQ(AsMap(*siblings),
              (std::map<QString, qint32>{{QStringLiteral("KOVRA - alive"), alive->Handle()}}));
    EXPECT_FALSE(QFileInfo::exists(socket));
    EXPECT_FALSE(PostShowHide(handle, kShowHideRestore));

    // A channel that closes normally takes its socket with it.
    const QString alivePath = alive->SocketPath();
    ASSERT_TRUE(QFileInfo::exists(alivePath));
    auto closing = OpenChannel(QStringLiteral("KOVRA - closing"), 5);
    const QString closingPath = closing->SocketPath();
    EXPECT_NE(closingPath, alivePath);
    closing.reset();
    EXPECT_FALSE(QFileInfo::exists(closingPath));
    EXPECT_TRUE(QFileInfo::exists(alivePath));
}

// A window whose listen is slow (a loaded machine) while another process enumerates every 10 ms,
// as a second window starting or a tray menu would: its socket must never be taken for a dead
// one, or the window misses Show all and Hide all for the rest of its life.
TEST_F(Instances, StartingWindowKeepsItsSocketWhileAnotherEnumerates) {
    const QString shim = QStringLiteral(KOVRA_SYSCALL_SHIM);
    ASSERT_TRUE(QFileInfo(shim).isFile()) << "preload library missing: " << shim.toStdString();
    QProcessEnvironment slowListen = QProcessEnvironment::systemEnvironment();
    slowListen.insert("LD_PRELOAD", shim);
    slowListen.insert("KOVRA_SHIM_LISTEN_DELAY_MS", "1500");
    slowListen.insert("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    Peer slow(QStringLiteral("KOVRA - slow"), 8, Record(QStringLiteral("slow.txt")), slowListen);
    int enumerations = 0;
    EXPECT_TRUE(WaitUntil([&] {
        CollectSiblingWindows();
        ++enumerations;
        return slow.Process().canReadLine() || slow.Process().state() == QProcess::NotRunning;
    }));
    const qint32 handle = slow.WaitListening();
    ASSERT_GT(handle, 0);
    EXPECT_GT(enumerations, 20) << "the enumeration did not overlap the slow listen";
    EXPECT_TRUE(QFileInfo::exists(QDir(Folder()).filePath(QStringLiteral("w%1").arg(handle))));
    EXPECT_EQ(AsMap(*CollectSiblingWindows()),
              (std::map<QString, qint32>{{QStringLiteral("KOVRA - slow"), handle}}));
    HideAll();
    EXPECT_TRUE(WaitUntil([&] { return slow.Received() == QStringList{"1"}; })) << Show(slow.Received());

    // A socket that refuses while its process lives (bound, not listening) is left to its owner.
    const qint32 ownHandle = qint32((1000 << 22) | ::getpid());
    const QString refusing = QDir(Folder()).filePath(QStringLiteral("w%1").arg(ownHandle));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(refusing).constData(), sizeof(address.sun_path));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    CollectSiblingWindows();
    EXPECT_TRUE(QFileInfo::exists(refusing));
    ::close(fd);
    QFile::remove(refusing);
}

} // namespace
