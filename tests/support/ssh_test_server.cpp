#include "support/ssh_test_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kSshd = QStringLiteral("/usr/sbin/sshd");

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Looked up in the kernel's table, not by connecting: a probe would be a client sshd logs about.
bool Listening(int port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

bool WriteText(const QString& file, const QByteArray& text, QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile out(file);
    return out.open(mode) && out.write(text) == text.size();
}

// The parent of pid, from /proc; 0 when it is gone.
qint64 ParentOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

} // namespace

SshTestServer::SshTestServer() : oldHome_(qgetenv("HOME")), oldAgent_(qgetenv("SSH_AUTH_SOCK")) {
    if (!QFileInfo(kSshd).isExecutable()) {
        Fail(QStringLiteral("%1 is missing: install openssh-server (scripts/setup)").arg(kSshd));
        return;
    }
    port_ = FreePort();
    QDir().mkpath(Home() + QStringLiteral("/.ssh"));
    QDir().mkpath(Files());
    qputenv("HOME", QFile::encodeName(Home()));
    qunsetenv("SSH_AUTH_SOCK");
    // Run as root, sshd wants its privilege separation folder, as its system service makes it.
    if (::geteuid() == 0)
        QDir().mkpath(QStringLiteral("/run/sshd"));
    const QByteArray config =
        QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\n"
                       "AuthorizedKeysFile %3\nPidFile none\nUsePAM no\n"
                       "StrictModes no\nPasswordAuthentication no\n"
                       "KbdInteractiveAuthentication no\nSubsystem sftp internal-sftp\n"
                       "LogLevel ERROR\n")
            .arg(port_)
            .arg(dir_.filePath(QStringLiteral("host_key")), dir_.filePath(QStringLiteral("authorized_keys")))
            .toUtf8();
    if (WriteText(dir_.filePath(QStringLiteral("sshd_config")), config) && NewHostKey())
        UseAuthorizedKey();
}

SshTestServer::~SshTestServer() {
    Stop();
    qputenv("HOME", oldHome_);
    if (!oldAgent_.isEmpty())
        qputenv("SSH_AUTH_SOCK", oldAgent_);
}

bool SshTestServer::Fail(const QString& error) {
    if (error_.isEmpty())
        error_ = error;
    return false;
}

bool SshTestServer::KeyGen(const QString& file, const QString& passphrase) {
    QFile::remove(file);
    QFile::remove(file + QStringLiteral(".pub"));
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                  passphrase, QStringLiteral("-f"), file});
    if (!keygen.waitForFinished(60000) || keygen.exitCode() != 0)
        return Fail(QStringLiteral("ssh-keygen failed (install openssh-client): ") +
                    QString::fromLocal8Bit(keygen.readAllStandardError()));
    return true;
}

bool SshTestServer::NewHostKey() {
    return KeyGen(dir_.filePath(QStringLiteral("host_key")));
}

bool SshTestServer::UseAuthorizedKey(const QString& passphrase) {
    const QString key = Home() + QStringLiteral("/.ssh/id_ed25519");
    if (!KeyGen(key, passphrase))
        return false;
    QFile pub(key + QStringLiteral(".pub"));
    return (pub.open(QIODevice::ReadOnly) &&
            WriteText(dir_.filePath(QStringLiteral("authorized_keys")), pub.readAll())) ||
           Fail(QStringLiteral("Cannot write authorized_keys"));
}

bool SshTestServer::UseUnknownKey() {
    return KeyGen(Home() + QStringLiteral("/.ssh/id_ed25519"));
}

bool SshTestServer::AcceptPasswords() {
    QFile config(dir_.filePath(QStringLiteral("sshd_config")));
    if (!config.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("No sshd_config"));
    const QByteArray text =
        config.readAll().replace("PasswordAuthentication no", "PasswordAuthentication yes");
    config.close();
    return WriteText(config.fileName(), text) || Fail(QStringLiteral("Cannot write sshd_config"));
}

bool SshTestServer::TrustServer(int asPort) {
    QFile pub(dir_.filePath(QStringLiteral("host_key.pub")));
    if (!pub.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("No host key"));
    const QList<QByteArray> fields = pub.readAll().split(' ');
    const QByteArray line = "[127.0.0.1]:" + QByteArray::number(asPort ? asPort : port_) + ' ' +
                            fields.value(0) + ' ' + fields.value(1).trimmed() + '\n';
    return WriteText(KnownHosts(), line, QIODevice::WriteOnly | QIODevice::Append) ||
           Fail(QStringLiteral("Cannot write known_hosts"));
}

QString SshTestServer::HostKeyFingerprint() {
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-l"), QStringLiteral("-f"), dir_.filePath(QStringLiteral("host_key.pub"))});
    if (!keygen.waitForFinished(60000) || keygen.exitCode() != 0) {
        Fail(QStringLiteral("ssh-keygen -l failed"));
        return QString();
    }
    return QString::fromLatin1(keygen.readAllStandardOutput()).split(u' ').value(1);
}

QString SshTestServer::UserName() const {
    const passwd* user = ::getpwuid(::geteuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QString();
}

QString SshTestServer::Url(const QString& path) const {
    return QStringLiteral("ssh://%1@127.0.0.1:%2%3").arg(UserName()).arg(port_).arg(path);
}

bool SshTestServer::Start() {
    if (!error_.isEmpty())
        return false;
    sshd_.setProcessChannelMode(QProcess::ForwardedChannels);
    sshd_.start(kSshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                        dir_.filePath(QStringLiteral("sshd_config"))});
    if (!sshd_.waitForStarted(30000))
        return Fail(QStringLiteral("sshd did not start: ") + sshd_.errorString());
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QThread::msleep(20)) {
        if (Listening(port_))
            return true;
        if (sshd_.state() != QProcess::Running)
            return Fail(QStringLiteral("sshd exited with %1").arg(sshd_.exitCode()));
    }
    return Fail(QStringLiteral("sshd does not listen on port %1").arg(port_));
}

QList<qint64> SshTestServer::Processes() const {
    QList<qint64> tree;
    if (sshd_.state() != QProcess::Running)
        return tree;
    tree.append(sshd_.processId());
    // Sessions are children of the server (and their sftp servers theirs).
    for (bool grew = true; grew;) {
        grew = false;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (number && !tree.contains(pid) && tree.contains(ParentOf(pid))) {
                tree.append(pid);
                grew = true;
            }
        }
    }
    return tree;
}

void SshTestServer::Signal(int signal) const {
    for (const qint64 pid : Processes())
        ::kill(pid_t(pid), signal);
}

void SshTestServer::Freeze(bool frozen) {
    Signal(frozen ? SIGSTOP : SIGCONT);
}

void SshTestServer::Stop() {
    if (sshd_.state() != QProcess::Running)
        return;
    const QList<qint64> tree = Processes();
    for (const qint64 pid : tree)
        ::kill(pid_t(pid), SIGKILL);
    // A killed session's socket closes as it dies; the server is waited for, to free the port.
    sshd_.waitForFinished(30000);
}
