#pragma once
// JournalText: the journal of one journal name as text that only grows. The entries are rendered
// once, in the order they are first seen (the journal's order at the first look, then each new
// entry after the last one read), into a file of its own that nobody else sees (removed from its
// folder at once, gone with the process), so that every read of a range gives the same bytes
// while memory does not grow with the journal. Journal files rotated or vacuumed meanwhile change
// nothing already rendered.
//
// Threads: Refresh() from any thread, one at a time (a lock); ReadAt() from any thread, at any
// time, up to the size a Refresh() answered.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include <QByteArray>
#include <QString>

#include "source/journal_levels.h"
#include "source/journal_name.h"
#include "source/source.h"

struct sd_journal;

// The journal of name (with its matches or without); null with *error. The watch opens its own.
sd_journal* OpenJournal(const JournalName& name, bool withMatches, QString* error);

class JournalText final {
public:
    // Opens the journal of name; null with *error.
    static std::unique_ptr<JournalText> Create(const JournalName& name, QString* error);
    ~JournalText();
    JournalText(const JournalText&) = delete;
    JournalText& operator=(const JournalText&) = delete;

    // Renders the entries that came since the last call (stops early, to go on at the next call,
    // once cancel is set) and answers the stamp then: the text's size, the time of the newest
    // entry, the identity of this text. false with *error when the journal could not be read.
    bool Refresh(SourceCancel cancel, FileStamp* stamp, QString* error);
    // Up to n bytes from position on; -1 with *error.
    qint64 ReadAt(qint64 position, char* data, qint64 n, QString* error) const;
    // What the INFO pane says: no entries and why while it lasts; at the first call, that system
    // entries need a group the user is not in.
    QString Notice();
    // The levels of the lines rendered so far, from their entries' priorities.
    const JournalLevels& Levels() const { return levels_; }

private:
    JournalText(const JournalName& name, sd_journal* journal, int store);
    void RenderCurrent(QByteArray& out);
    bool Flush(QByteArray& pending, QString* error);
    QString EmptyNotice();

    struct Fields;

    const JournalName name_;
    sd_journal* journal_;
    const int store_;
    FileStamp identity_;
    std::atomic<qint64> size_{0};
    mutable std::mutex lock_; // Refresh, and everything below
    qint64 newestUs_ = 0;
    bool hasBoot_ = false;
    unsigned char lastBoot_[16] = {};
    QString broken_; // a write of the text failed: nothing more is rendered
    QString notice_;
    const QString accessNotice_;
    bool accessTold_ = false;
    std::unique_ptr<Fields> fields_;
    JournalLevels levels_;
};
