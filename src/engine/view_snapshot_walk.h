#pragma once
// Walking a snapshot's lines in order without a search per line, over stored and file chunks
// alike, and making their texts. Shared by the snapshot's own files only.
#include <QString>

#include "engine/view_snapshot_data.h"
#include "engine/view_snapshot_file.h"

namespace view_snapshot_detail {

class LineWalker {
public:
    LineWalker(const Data& data, qint64 line);
    bool AtEnd() const { return entry_ >= d_->entries.size(); }
    const Entry& Current() const { return d_->entries[entry_]; }
    const Chunk& CurrentChunk() const { return *Current().chunk; }
    qint64 Index() const { return index_; }
    // Lines left in the current entry, this one included.
    qint64 LeftInEntry() const { return CurrentChunk().Lines() - index_; }
    void Advance(qint64 lines); // at most LeftInEntry()
    void Retreat();             // not before the first line

    bool IsFile() const { return CurrentChunk().file != nullptr; }
    // The line of a stored chunk, as UTF-8.
    QByteArrayView Utf8() const { return CurrentChunk().Line(index_); }
    // The line of a file chunk.
    const FileLineRef& Ref() const { return ref_; }

private:
    void Enter();

    const Data* d_;
    size_t entry_ = 0;
    qint64 index_ = 0;
    FileSample state_; // after ref_
    FileLineRef ref_;
};

// Texts of the lines a walker stands on; keeps the file block it read last.
class LineTexts {
public:
    void Append(QString& out, const LineWalker& at);
    QString Text(const LineWalker& at) {
        QString text;
        Append(text, at);
        return text;
    }
    qsizetype Units(const LineWalker& at);
    // Whether two lines have the same text; lines of one source and shape at one place are not read.
    bool Same(const LineWalker& a, const LineWalker& b, LineTexts& other);

private:
    FileLineReader reader_;
};

} // namespace view_snapshot_detail
