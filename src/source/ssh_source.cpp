#include "source/ssh_source.h"

#include <map>
#include <mutex>

#include <QCoreApplication>
#include <QThread>

#include "platform/file_names.h"
#include "source/ssh_connection.h"
#include "source/ssh_name.h"

namespace {

bool OnWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QString NotOnWindowThread() {
    return QStringLiteral("A remote file is not read on the window thread");
}

// The last listing of each folder, for the window thread (the file a wildcard stands for now).
class Listings {
public:
    void Keep(const QString& folder, const std::vector<FolderEntry>& files) {
        std::lock_guard guard(lock_);
        kept_[folder] = files;
    }
    std::optional<std::vector<FolderEntry>> Last(const QString& folder) {
        std::lock_guard guard(lock_);
        const auto found = kept_.find(folder);
        return found == kept_.end() ? std::nullopt : std::optional(found->second);
    }

private:
    std::mutex lock_;
    std::map<QString, std::vector<FolderEntry>> kept_;
};

Listings& LastListings() {
    static Listings listings;
    return listings;
}

} // namespace

SourceTraits SshKind::Traits() const {
    SourceTraits traits;
    traits.localFile = false;
    traits.mayBlock = true;
    return traits;
}

SourceFacts SshKind::Facts(const QString& name, SourceCancel cancel) const {
    SourceFacts facts;
    const std::optional<SshName> parsed = ParseSshName(name, &facts.error);
    if (!parsed)
        return facts;
    if (OnWindowThread()) {
        facts.error = NotOnWindowThread();
        return facts;
    }
    RemoteFacts remote;
    if (!SshConnection::For(*parsed)->Stat(EncodeFileName(parsed->path), cancel, &remote, &facts.error))
        return facts;
    facts.exists = remote.exists;
    facts.isDir = remote.isDir;
    facts.isFile = remote.isFile;
    facts.size = remote.size;
    facts.lastModified = QDateTime::fromMSecsSinceEpoch(remote.modifiedNs / 1000000);
    return facts;
}

std::unique_ptr<SourceReader> SshKind::Open(const QString& name, QString* error, SourceCancel cancel) const {
    QString failure;
    std::unique_ptr<SourceReader> reader;
    if (const std::optional<SshName> parsed = ParseSshName(name, &failure); !parsed) {
    } else if (OnWindowThread()) {
        failure = NotOnWindowThread();
    } else {
        const std::shared_ptr<SshConnection> connection = SshConnection::For(*parsed);
        RemoteFacts remote;
        if (std::unique_ptr<RemoteFile> file =
                connection->Open(EncodeFileName(parsed->path), cancel, &remote, &failure)) {
            FileStamp stamp;
            stamp.size = remote.size;
            stamp.modifiedNs = remote.modifiedNs;
            // The same for every open of the name: no file identity over SFTP.
            stamp.device = qHash(parsed->Target());
            reader = std::make_unique<StampedReader<std::unique_ptr<RemoteFile>>>(std::move(file), stamp);
        }
    }
    if (!reader && error)
        *error = failure;
    return reader;
}

std::optional<std::vector<FolderEntry>> SshKind::ListFiles(const QString& folder, SourceCancel cancel) const {
    QString error;
    const std::optional<SshName> parsed = ParseSshName(folder, &error);
    if (!parsed)
        return std::nullopt;
    if (OnWindowThread())
        return LastListings().Last(folder);
    std::optional<std::vector<FolderEntry>> files =
        SshConnection::For(*parsed)->List(EncodeFileName(parsed->path), cancel, &error);
    if (files)
        LastListings().Keep(folder, *files);
    return files;
}

std::unique_ptr<SourceWatch> SshKind::Watch(const QString&, std::function<void()>) const {
    return nullptr;
}

QString SshKind::ShortName(const QString& name) const {
    return name.mid(name.lastIndexOf(u'/') + 1);
}
