#pragma once
// A file on another machine, named ssh://[user@]host[:port]/path (or sftp://), read over SFTP
// through a connection kept for its target (ssh_connection.h). Nothing is installed or run on the
// server. No change notifications: the timer paces the passes. SFTP gives no file identity, so a
// rotation shows as a shrink or as other bytes before the old end, which the reads check.
//
// Never on the window thread: asked there, it does not touch the network; Facts and Open fail,
// ListFiles answers the last listing of the folder made elsewhere.
#include "source/source.h"

class SshKind final : public SourceKind {
public:
    SourceTraits Traits() const override;
    SourceFacts Facts(const QString& name, SourceCancel cancel) const override;
    std::unique_ptr<SourceReader> Open(const QString& name, QString* error,
                                       SourceCancel cancel) const override;
    std::optional<std::vector<FolderEntry>> ListFiles(const QString& folder,
                                                      SourceCancel cancel) const override;
    std::unique_ptr<SourceWatch> Watch(const QString& name, std::function<void()> changed) const override;
    QString ShortName(const QString& name) const override;
};
