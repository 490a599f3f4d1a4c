#pragma once
// What a window follows: a source behind one interface, whatever kind it is (a local file, the
// journal, a file on another machine). A kind answers for every name it claims: the facts of the
// source now, one open of it to read a byte range, the files of a folder for wildcard names, a
// change notification where it has one, and what the window may do with such a source. The
// engine and the window ask SourceKindOf(name) and never which kind they got.
//
// Threads: kinds are immutable and shared; every member may be called from any thread. A reader
// (one open) is used by one thread at a time. A watch is created, used and destroyed on one thread
// with an event loop (the window thread), and reports there.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QDateTime>
#include <QString>
#include <QStringView>

#include "util/line_level.h"

// What tells one state of a source from another without reading it: a source that keeps its stamp
// kept its bytes (a writer that rewrites in place changes the modification time). device and inode
// are its identity: another identity is another source behind the same name (a rotation).
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Set by a stop or a close: a read that waits (on a network, a lock) gives up soon after. Null:
// nothing cancels.
using SourceCancel = const std::atomic<bool>*;

// The facts of a source now, as a pass and the start sequence ask before reading.
struct SourceFacts {
    bool exists = false;
    bool isDir = false;
    bool isFile = false; // something a pass can read
    qint64 size = 0;
    QDateTime lastModified;
    // Why the facts could not be had (a connection that failed): the pass shows it as its failure.
    QString error;
    // A remark the INFO pane shows before its counts ("No entry matches ..."); empty for most sources.
    QString notice;
};

// One open of a source: the facts it had when opened and its bytes. Reading past the stamp's size
// may give bytes that came since. A source whose bytes only grow gives the same bytes for the same
// range at every read, from any open.
class SourceReader {
public:
    virtual ~SourceReader() = default;
    // The stamp taken when opened.
    virtual const FileStamp& Stamp() const = 0;
    // Up to n bytes from position on (fewer at the end); -1 with ErrorString().
    virtual qint64 ReadAt(qint64 position, char* data, qint64 n) = 0;
    virtual QString ErrorString() const = 0;
};

// A reader over anything that reads at a position and says why it failed: Holder is the pointer
// that owns it (shared when the text outlives the reader, unique otherwise).
template <class Holder> class StampedReader final : public SourceReader {
public:
    StampedReader(Holder from, const FileStamp& stamp) : from_(std::move(from)), stamp_(stamp) {}
    const FileStamp& Stamp() const override { return stamp_; }
    qint64 ReadAt(qint64 position, char* data, qint64 n) override {
        return from_->ReadAt(position, data, n, &error_);
    }
    QString ErrorString() const override { return error_; }

private:
    Holder from_;
    FileStamp stamp_;
    QString error_;
};

// Reports changes of one source; destroying it stops the reports.
class SourceWatch {
public:
    virtual ~SourceWatch() = default;
    // Called after every pass: what came back since (a file created again) is watched again.
    virtual void Renew() = 0;
};

// A file of a folder, as wildcard resolution ranks them.
struct FolderEntry {
    QString name; // without the folder
    QDateTime modified;
    QDateTime created;
};

// The level of a line of a source's text, given the line as the view shows it.
using LineLevelLookup = std::function<LineLevel(QStringView line)>;

// What a window may do with a source of a kind.
struct SourceTraits {
    // The editor, the shell, the folder, truncate and delete need a file of this machine.
    bool localFile = true;
    // Reads may wait on something slow (a network); the engine keeps them off the window thread,
    // and asked on the window thread such a kind answers without waiting (see its header).
    bool mayBlock = false;
    // Shown after "Type=" instead of the type found from the first bytes; empty for files.
    QString typeLabel;
};

class SourceKind {
public:
    virtual ~SourceKind() = default;
    virtual SourceTraits Traits() const = 0;
    virtual SourceFacts Facts(const QString& name, SourceCancel cancel = nullptr) const = 0;
    // Null with the reason in *error.
    virtual std::unique_ptr<SourceReader> Open(const QString& name, QString* error,
                                               SourceCancel cancel = nullptr) const = 0;
    // The files of folder (a name's part up to its last '/', or empty for the working folder) that
    // a wildcard may stand for; nullopt when this kind has no folders to list or the listing failed.
    virtual std::optional<std::vector<FolderEntry>> ListFiles(const QString& folder,
                                                              SourceCancel cancel = nullptr) const = 0;
    // Calls changed on this thread soon after the source changed; null: no notifications, the
    // timer paces the passes.
    virtual std::unique_ptr<SourceWatch> Watch(const QString& name, std::function<void()> changed) const = 0;
    // The name without what the short title leaves out (a file's folder).
    virtual QString ShortName(const QString& name) const = 0;
    // Where the source ranks its lines itself (the journal's priorities), the level of each line
    // of name's text; null where the words of a line tell its level. Callable on any thread.
    virtual LineLevelLookup LineLevels(const QString& name) const {
        Q_UNUSED(name);
        return {};
    }
};

// The kind that answers for name; a name no other kind claims is a local file.
const SourceKind& SourceKindOf(const QString& name);
