#pragma once
// FolderListing: the names of the files of one folder, listed again only when the folder changed.
// A wildcard is resolved on every pass; a folder of 100,000 logs costs one look at the folder then,
// not a listing, as long as no file was created, deleted or renamed in it (its modification time,
// and its identity, stay the same).
//
// A listing made within a second of the folder's last change is used once and not kept: the file
// system's clock is coarse, and a file created in the same tick after the listing would leave the
// time as it was.
//
// Threads: any; one lock, never held while the folder is listed.
#include <memory>
#include <mutex>

#include <QString>
#include <QStringList>

class FolderListing final {
public:
    // Hidden files included; no folders, FIFOs, sockets nor devices; in name order.
    struct Names {
        QStringList files;
        quint64 serial = 0; // changes with every new listing
    };
    std::shared_ptr<const Names> Files(const QString& folder);

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
    std::shared_ptr<const Names> names_;
    quint64 serial_ = 0;
};
