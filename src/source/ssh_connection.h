#pragma once
// The connection to one SSH target, kept from pass to pass: opened at the first request, and again
// at the first request after a drop (a connection found dead when a new request starts on it is
// replaced at once, so a server restarted between two passes costs no failed pass). Requests are
// bounded (kRequestLimit each) and end soon after their cancel flag is set.
//
// Threads: any thread except the window thread; one request at a time (a lock), the others wait.
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "source/source.h"
#include "source/ssh_name.h"

struct SshLink;
class StepLimit;

// What the server says of a path (stat follows links).
struct RemoteFacts {
    bool exists = false;
    bool isDir = false;
    bool isFile = false; // a regular file
    qint64 size = 0;
    qint64 modifiedNs = 0;
};

class SshConnection;

// One open remote file. Closed when destroyed (bounded like any request).
class RemoteFile final {
public:
    ~RemoteFile();
    RemoteFile(const RemoteFile&) = delete;
    RemoteFile& operator=(const RemoteFile&) = delete;
    // Up to n bytes from position on, many requests in flight for a long range; -1 with *error.
    qint64 ReadAt(qint64 position, char* data, qint64 n, QString* error);

private:
    friend class SshConnection;
    RemoteFile(std::shared_ptr<SshConnection> connection, std::shared_ptr<SshLink> link, void* file,
               SourceCancel cancel);

    std::shared_ptr<SshConnection> connection_;
    std::shared_ptr<SshLink> link_;
    void* file_; // sftp_file
    SourceCancel cancel_;
};

class SshConnection final : public std::enable_shared_from_this<SshConnection> {
public:
    explicit SshConnection(SshName target);
    ~SshConnection();
    SshConnection(const SshConnection&) = delete;
    SshConnection& operator=(const SshConnection&) = delete;

    // The connection for target's [user@]host[:port], made once per process.
    static std::shared_ptr<SshConnection> For(const SshName& target);

    // false with *error; a missing path is no failure (exists false).
    bool Stat(const QByteArray& path, SourceCancel cancel, RemoteFacts* facts, QString* error);
    // Only a regular file is opened; null with *error.
    std::unique_ptr<RemoteFile> Open(const QByteArray& path, SourceCancel cancel, RemoteFacts* facts,
                                     QString* error);
    // The files of folder (a missing folder has none); nullopt with *error.
    std::optional<std::vector<FolderEntry>> List(const QByteArray& folder, SourceCancel cancel,
                                                 QString* error);

    // How a request on a link ended: answered, refused by the server (a failure text), link lost.
    enum class Outcome { Done, Refused, Lost };

private:
    friend class RemoteFile;
    template <class Request> bool Run(SourceCancel cancel, QString* error, Request request);
    bool EnsureLink(SourceCancel cancel, QString* error);

    std::mutex lock_;
    const SshName target_;
    const QString shown_;
    std::shared_ptr<SshLink> link_;
    // A server that could not be reached is not tried again for a moment: one pass tries once.
    QString lastFailure_;
    std::chrono::steady_clock::time_point failedAt_;
};
