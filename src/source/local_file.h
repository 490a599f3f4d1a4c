#pragma once
// The local file: a source read with pread on a descriptor opened read-only (writers go on
// writing), never blocking, and only when it is a regular file. A FIFO would block the open until
// a writer came, a device would answer forever, a socket cannot be read: each is refused without
// being opened, with a reason shown like that of a file that cannot be opened.
#include "source/source.h"

class LocalFileKind final : public SourceKind {
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
