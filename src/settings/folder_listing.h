#pragma once
// FolderListing: the files of one folder as a source kind lists them, listed again only when the
// folder changed. A wildcard ranked by name is resolved on every pass; a folder of 100,000 logs
// then costs one look at the folder, not a listing, as long as no file was created, deleted or
// renamed in it (its modification time, and its identity, stay the same). Only folders of this
// machine are kept; another kind's are listed each time.
//
// A listing made within a second of the folder's last change is used once and not kept: the file
// system's clock is coarse, and a file created in the same tick after the listing would leave the
// time as it was.
//
// Threads: any; one lock, never held while the folder is listed.
#include <memory>
#include <mutex>
#include <vector>

#include <QString>

#include "source/source.h"

class FolderListing final {
public:
    struct Listing {
        std::vector<FolderEntry> files; // their times as they were when listed
        quint64 serial = 0;             // changes with every new listing
    };
    // Null when the kind has no folders to list. reuse: the kept listing will do (the files'
    // names are wanted, not their times, which change without the folder); without it the folder
    // is listed and the kept listing stays as it was. cancel: as for the kind's listing.
    std::shared_ptr<const Listing> Files(const SourceKind& kind, const QString& folder, bool reuse = true,
                                         SourceCancel cancel = nullptr);

private:
    struct Stamp {
        QString folder;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static bool Read(const QString& folder, Stamp* stamp, qint64* nowNs);

    std::mutex lock_;
    Stamp stamp_;
    std::shared_ptr<const Listing> kept_;
    quint64 serial_ = 0;
};
