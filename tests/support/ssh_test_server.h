#pragma once
// A real OpenSSH server for tests and benchmarks, on 127.0.0.1 at a free port, run as the current
// user with its own configuration, host key and authorized key (made with ssh-keygen) in a
// temporary folder. HOME points into that folder while the object lives, so ~/.ssh (the client
// key, known_hosts, config) is the test's, never the user's; SSH_AUTH_SOCK is unset.
//
// Without gtest: failures are answered as texts (Error()), so a benchmark can use it too.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SshTestServer final {
public:
    SshTestServer();
    ~SshTestServer();
    SshTestServer(const SshTestServer&) = delete;
    SshTestServer& operator=(const SshTestServer&) = delete;

    // Empty when everything so far worked.
    const QString& Error() const { return error_; }

    // Starts sshd and waits until it listens; the same port every time.
    bool Start();
    // Kills sshd and every session it started: the server is gone, connections drop.
    void Stop();
    // Stops (SIGSTOP) or resumes sshd and its sessions: requests get no answer meanwhile.
    void Freeze(bool frozen);

    int Port() const { return port_; }
    QString UserName() const;
    // ssh://user@127.0.0.1:port + path
    QString Url(const QString& path) const;
    // A folder for the followed files.
    QString Files() const { return dir_.filePath(QStringLiteral("files")); }
    QString Home() const { return dir_.filePath(QStringLiteral("home")); }
    QString KnownHosts() const { return Home() + QStringLiteral("/.ssh/known_hosts"); }

    // The server's key in known_hosts as "[127.0.0.1]:port type key" (another port: a relay's).
    bool TrustServer(int asPort = 0);
    // "SHA256:..." of the server's key, as ssh-keygen -l tells it.
    QString HostKeyFingerprint();
    // A new host key: the server must be started again to use it.
    bool NewHostKey();
    // ~/.ssh/id_ed25519: a key the server accepts (with passphrase, when not empty), or one it
    // does not know.
    bool UseAuthorizedKey(const QString& passphrase = QString());
    bool UseUnknownKey();
    // The server offers password authentication too (before Start).
    bool AcceptPasswords();
    // The sshd processes now running (the server and its sessions), for the tests to watch.
    QList<qint64> Processes() const;

private:
    bool KeyGen(const QString& file, const QString& passphrase = QString());
    bool Fail(const QString& error);
    void Signal(int signal) const;

    QTemporaryDir dir_;
    QByteArray oldHome_;
    QByteArray oldAgent_;
    int port_ = 0;
    QProcess sshd_;
    QString error_;
};
