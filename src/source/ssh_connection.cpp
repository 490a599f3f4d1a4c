#include "source/ssh_connection.h"

#include <deque>
#include <map>

#include <QDateTime>

#include "platform/file_names.h"
#include "source/ssh_link.h"
#include "source/ssh_watchdog.h"

#include <fcntl.h>

namespace {

// Reads go out in requests of kChunk bytes, kInFlight of them at a time.
constexpr qint64 kChunk = 64 * 1024;
constexpr size_t kInFlight = 16;
constexpr std::chrono::milliseconds kFailureKept(500);

QString StatusText(int status) {
    switch (status) {
    case SSH_FX_NO_SUCH_FILE:
    case SSH_FX_NO_SUCH_PATH:
        return QStringLiteral("No such file or directory");
    case SSH_FX_PERMISSION_DENIED:
        return QStringLiteral("Permission denied");
    case SSH_FX_OP_UNSUPPORTED:
        return QStringLiteral("Operation not supported by the server");
    default:
        return QStringLiteral("The server answered with failure %1").arg(status);
    }
}

// After a failed request: the link lost, a missing path (no failure), or the server's refusal.
SshConnection::Outcome Failed(const SshLink& link, QString* failure, bool missingIsDone) {
    if (!link.Alive())
        return SshConnection::Outcome::Lost;
    const int status = sftp_get_error(link.sftp);
    if (missingIsDone && (status == SSH_FX_NO_SUCH_FILE || status == SSH_FX_NO_SUCH_PATH))
        return SshConnection::Outcome::Done;
    *failure = StatusText(status);
    return SshConnection::Outcome::Refused;
}

void Fill(const sftp_attributes attributes, RemoteFacts* facts) {
    facts->exists = true;
    facts->isDir = attributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
    facts->isFile = attributes->type == SSH_FILEXFER_TYPE_REGULAR;
    facts->size = qint64(attributes->size);
    const qint64 seconds = attributes->mtime64 ? qint64(attributes->mtime64) : qint64(attributes->mtime);
    facts->modifiedNs = seconds * 1000000000 + attributes->mtime_nseconds;
}

} // namespace

SshConnection::SshConnection(SshName target) : target_(std::move(target)), shown_(target_.Target()) {}

SshConnection::~SshConnection() = default;

std::shared_ptr<SshConnection> SshConnection::For(const SshName& target) {
    // Never destroyed: its connections may still be in use on other threads when the process ends.
    static auto* lock = new std::mutex;
    static auto* connections = new std::map<QString, std::shared_ptr<SshConnection>>;
    std::lock_guard guard(*lock);
    std::shared_ptr<SshConnection>& connection = (*connections)[target.Target()];
    if (!connection)
        connection = std::make_shared<SshConnection>(target);
    return connection;
}

bool SshConnection::EnsureLink(SourceCancel cancel, QString* error) {
    if (link_ && link_->Alive())
        return true;
    link_.reset();
    if (!lastFailure_.isEmpty() && std::chrono::steady_clock::now() - failedAt_ < kFailureKept) {
        *error = lastFailure_;
        return false;
    }
    bool unreachable = false;
    std::unique_ptr<SshLink> link = OpenSshLink(target_, shown_, cancel, error, &unreachable);
    if (!link) {
        // A stop is no failure of the server's: the next request tries at once.
        lastFailure_ = unreachable && !IsCancelled(cancel) ? *error : QString();
        failedAt_ = std::chrono::steady_clock::now();
        return false;
    }
    lastFailure_.clear();
    link_ = std::move(link);
    return true;
}

// request(link, limit, error) runs on a live link under the lock; its Outcome says whether the
// server refused (error set) or the link was lost. A link lost at the first request made on it
// after it had been kept idle is replaced once.
template <class Request> bool SshConnection::Run(SourceCancel cancel, QString* error, Request request) {
    std::lock_guard guard(lock_);
    for (int attempt = 0;; ++attempt) {
        const bool kept = link_ && link_->Alive();
        if (!EnsureLink(cancel, error))
            return false;
        Outcome outcome;
        StepCut cut;
        {
            StepLimit limit(link_->fd, cancel, kRequestLimit);
            outcome = request(*link_, limit, error);
            cut = limit.Cut();
        }
        if (outcome != Outcome::Lost)
            return outcome == Outcome::Done;
        link_->broken = true;
        *error = StepFailure(*link_, cut, shown_);
        link_.reset();
        if (!kept || cut != StepCut::None || attempt > 0)
            return false;
    }
}

bool SshConnection::Stat(const QByteArray& path, SourceCancel cancel, RemoteFacts* facts, QString* error) {
    *facts = RemoteFacts();
    return Run(cancel, error, [&](SshLink& link, StepLimit&, QString* failure) {
        const sftp_attributes attributes = sftp_stat(link.sftp, path.constData());
        if (!attributes)
            return Failed(link, failure, true);
        Fill(attributes, facts);
        sftp_attributes_free(attributes);
        return Outcome::Done;
    });
}

std::unique_ptr<RemoteFile> SshConnection::Open(const QByteArray& path, SourceCancel cancel,
                                                RemoteFacts* facts, QString* error) {
    std::unique_ptr<RemoteFile> opened;
    const bool ok = Run(cancel, error, [&](SshLink& link, StepLimit&, QString* failure) {
        // Looked at first: opening a FIFO would block the server's side until a writer came.
        sftp_attributes attributes = sftp_stat(link.sftp, path.constData());
        if (attributes) {
            Fill(attributes, facts);
            sftp_attributes_free(attributes);
            if (!facts->isFile) {
                *failure = QStringLiteral("Not a regular file");
                return Outcome::Refused;
            }
        }
        sftp_file file = attributes ? sftp_open(link.sftp, path.constData(), O_RDONLY, 0) : nullptr;
        attributes = file ? sftp_fstat(file) : nullptr;
        if (!attributes) {
            if (file)
                sftp_close(file);
            return Failed(link, failure, false);
        }
        Fill(attributes, facts);
        sftp_attributes_free(attributes);
        opened.reset(new RemoteFile(shared_from_this(), link_, file, cancel));
        return Outcome::Done;
    });
    return ok ? std::move(opened) : nullptr;
}

std::optional<std::vector<FolderEntry>> SshConnection::List(const QByteArray& folder, SourceCancel cancel,
                                                            QString* error) {
    std::vector<FolderEntry> files;
    const bool ok = Run(cancel, error, [&](SshLink& link, StepLimit& limit, QString* failure) {
        files.clear();
        sftp_dir dir = sftp_opendir(link.sftp, folder.constData());
        if (!dir)
            return Failed(link, failure, true);
        std::vector<QByteArray> links;
        while (sftp_attributes entry = sftp_readdir(link.sftp, dir)) {
            limit.Restart();
            RemoteFacts facts;
            Fill(entry, &facts);
            if (entry->type == SSH_FILEXFER_TYPE_SYMLINK)
                links.push_back(entry->name);
            else if (facts.isFile)
                files.push_back({DecodeFileName(entry->name),
                                 QDateTime::fromMSecsSinceEpoch(facts.modifiedNs / 1000000),
                                 {}});
            sftp_attributes_free(entry);
        }
        const bool complete = sftp_dir_eof(dir);
        sftp_closedir(dir);
        if (!complete)
            return Failed(link, failure, false);
        // A link counts as what it points to.
        for (const QByteArray& name : links) {
            limit.Restart();
            if (sftp_attributes target = sftp_stat(link.sftp, (folder + '/' + name).constData())) {
                RemoteFacts facts;
                Fill(target, &facts);
                sftp_attributes_free(target);
                if (facts.isFile)
                    files.push_back({DecodeFileName(name),
                                     QDateTime::fromMSecsSinceEpoch(facts.modifiedNs / 1000000),
                                     {}});
            } else if (!link.Alive()) {
                return Outcome::Lost;
            }
        }
        // SFTP keeps no creation time: the last write stands for it.
        for (FolderEntry& file : files)
            file.created = file.modified;
        return Outcome::Done;
    });
    if (!ok)
        return std::nullopt;
    return files;
}

RemoteFile::RemoteFile(std::shared_ptr<SshConnection> connection, std::shared_ptr<SshLink> link, void* file,
                       SourceCancel cancel)
    : connection_(std::move(connection)), link_(std::move(link)), file_(file), cancel_(cancel) {}

RemoteFile::~RemoteFile() {
    std::lock_guard guard(connection_->lock_);
    const StepLimit limit(link_->fd, cancel_, kRequestLimit);
    sftp_close(static_cast<sftp_file>(file_));
    if (limit.Cut() != StepCut::None)
        link_->broken = true;
}

qint64 RemoteFile::ReadAt(qint64 position, char* data, qint64 n, QString* error) {
    std::lock_guard guard(connection_->lock_);
    const auto file = static_cast<sftp_file>(file_);
    const QString& shown = connection_->shown_;
    if (!link_->Alive()) {
        *error = StepFailure(*link_, StepCut::None, shown);
        return -1;
    }
    StepLimit limit(link_->fd, cancel_, kRequestLimit);
    std::deque<std::pair<int, qint64>> pending; // request ids and lengths, in order
    qint64 total = 0;
    qint64 requested = 0;
    QByteArray scratch;
    bool failed = false;
    sftp_seek64(file, quint64(position));
    while (!failed) {
        while (pending.size() < kInFlight && requested < n) {
            const qint64 length = std::min(kChunk, n - requested);
            const int id = sftp_async_read_begin(file, uint32_t(length));
            if (id < 0) {
                failed = true;
                break;
            }
            pending.emplace_back(id, length);
            requested += length;
        }
        if (pending.empty())
            break;
        const auto [id, length] = pending.front();
        pending.pop_front();
        limit.Restart();
        const int got = sftp_async_read(file, data + total, uint32_t(length), uint32_t(id));
        if (got < 0) {
            failed = true;
            break;
        }
        total += got;
        if (got == length)
            continue;
        // The end of the file, or a server that answers short: what is still on its way is
        // taken and dropped, and a short answer is followed from where it ended.
        scratch.resize(kChunk);
        for (const auto& [rest, restLength] : pending)
            if (sftp_async_read(file, scratch.data(), uint32_t(restLength), uint32_t(rest)) < 0)
                failed = true;
        pending.clear();
        if (got == 0)
            break;
        requested = total;
        sftp_seek64(file, quint64(position + total));
    }
    if (!failed)
        return total;
    // Whatever failed mid-read leaves answers unread: the link is not used again.
    *error = StepFailure(*link_, limit.Cut(), shown);
    if (link_->Alive())
        *error = QStringLiteral("Read failed on %1: %2").arg(shown, *error);
    link_->broken = true;
    return -1;
}
