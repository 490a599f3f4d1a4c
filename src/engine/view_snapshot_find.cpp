// ViewSnapshot: finding a text again and comparing two snapshots, over stored and file chunks.
#include <algorithm>
#include <vector>

#include "engine/view_snapshot.h"
#include "engine/view_snapshot_data.h"
#include "engine/view_snapshot_walk.h"

using namespace view_snapshot_detail;

namespace {

// Calls fn(line, text) for the lines from `from` down to 0 until it answers true; answers that.
template <typename Fn> bool EachLineBackward(const Data& d, qint64 from, Fn fn) {
    FileLineReader reader;
    QString text;
    std::vector<FileLineRef> group;
    for (qsizetype e = qsizetype(d.entries.size()) - 1; e >= 0; --e) {
        const Entry& entry = d.entries[size_t(e)];
        if (entry.first > from)
            continue;
        const Chunk& chunk = *entry.chunk;
        const qint64 top = std::min(chunk.Lines() - 1, entry.skip + (from - entry.first));
        const FileLines* file = chunk.file.get();
        for (qint64 index = top; index >= entry.skip;) {
            // A file chunk's lines are decoded forward a sample group at a time.
            const qint64 low = file ? std::max(entry.skip, index / kSampleLines * kSampleLines) : index;
            group.clear();
            if (file) {
                FileSample state = file->StateBefore(low);
                for (qint64 i = low; i <= index; ++i)
                    group.push_back(file->Next(state));
            }
            for (qint64 i = index; i >= low; --i) {
                text.resize(0);
                if (file)
                    AppendFileLineText(text, *file, group[size_t(i - low)], reader);
                else
                    text = DecodeStoredUtf8(chunk.Line(i));
                if (fn(entry.first + (i - entry.skip), text))
                    return true;
            }
            index = low - 1;
        }
    }
    return false;
}

} // namespace

ViewRange ViewSnapshot::RangeAt(qsizetype entry, qint64 index, qsizetype byte, qsizetype units) const {
    const Entry& e = d_->entries[size_t(entry)];
    const qint64 line = e.first + (index - e.skip);
    const qsizetype column = e.chunk->ColumnOfByte(index, byte - e.chunk->Start(index));
    return {{line, column}, {line, column + units}};
}

// The last hit in one stored chunk: lines lie end to end there, so one search covers the chunk; a
// hit that runs over a line's end is no match, and the search goes on before it.
std::optional<ViewRange> ViewSnapshot::FindLastInChunk(qsizetype e, const QByteArray& needle,
                                                       qsizetype units) const {
    const Entry& entry = d_->entries[size_t(e)];
    const Chunk& chunk = *entry.chunk;
    const qsizetype base = chunk.Start(entry.skip);
    const QByteArrayView region = QByteArrayView(chunk.bytes).sliced(base);
    for (qsizetype from = region.size() - needle.size(); from >= 0;) {
        const qsizetype pos = region.lastIndexOf(needle, from);
        if (pos < 0)
            break;
        const qsizetype byte = base + pos;
        qint64 index = 0;
        if (!chunk.IsLong())
            index =
                std::upper_bound(chunk.ends.begin(), chunk.ends.end(), quint16(byte)) - chunk.ends.begin();
        if (byte + needle.size() <= chunk.End(index))
            return RangeAt(e, index, byte, units);
        from = pos - 1;
    }
    return std::nullopt;
}

std::optional<ViewRange> ViewSnapshot::FindLastInLine(const QString& part, qint64 floor) const {
    const QByteArray needle = part.toUtf8();
    for (qsizetype e = qsizetype(d_->entries.size()) - 1; e >= 0; --e) {
        const Entry& entry = d_->entries[size_t(e)];
        if (entry.first + entry.Lines() <= floor)
            break;
        if (!entry.chunk->file && entry.first >= floor) {
            if (auto found = FindLastInChunk(e, needle, part.size()))
                return found;
            continue;
        }
        std::optional<ViewRange> found;
        const qint64 last = entry.first + entry.Lines() - 1;
        // Only this entry's lines: the walk stops at its first line.
        EachLineBackward(*d_, last, [&](qint64 line, const QString& text) {
            if (line < std::max(entry.first, floor))
                return true;
            const qsizetype at = text.lastIndexOf(part);
            if (at >= 0)
                found = ViewRange{{line, at}, {line, at + part.size()}};
            return at >= 0;
        });
        if (found)
            return found;
    }
    return std::nullopt;
}

std::optional<ViewRange> ViewSnapshot::FindLastAcrossLines(const QStringList& parts, qint64 floor) const {
    const qint64 k = qint64(parts.size()) - 1;
    if (LineCount() <= k)
        return std::nullopt;
    std::optional<ViewRange> found;
    EachLineBackward(*d_, LineCount() - 1 - k, [&](qint64 j, const QString& text) {
        if (j < floor)
            return true;
        if (!text.endsWith(parts.front()))
            return false;
        for (qint64 i = 1; i <= k; ++i) {
            const QString line = Line(j + i);
            if (i < k ? line != parts[i] : !line.startsWith(parts.back()))
                return false;
        }
        found = ViewRange{{j, text.size() - parts.front().size()}, {j + k, parts.back().size()}};
        return true;
    });
    return found;
}

std::optional<ViewRange> ViewSnapshot::FindLast(QStringView text, qint64 floor) const {
    if (text.isEmpty())
        return std::nullopt;
    QStringList parts;
    for (QStringView part : text.tokenize(u"\r\n")) {
        if (part.contains(u'\r') || part.contains(u'\n'))
            return std::nullopt;
        parts.push_back(part.toString());
    }
    if (parts.size() == 1)
        return FindLastInLine(parts.front(), floor);
    return FindLastAcrossLines(parts, floor);
}

bool ViewSnapshot::SameText(const ViewSnapshot& other) const {
    if (d_ == other.d_)
        return true;
    if (LineCount() != other.LineCount() ||
        (!d_->hasFile && !other.d_->hasFile && ByteCount() != other.ByteCount()))
        return false;
    LineWalker a(*d_, 0), b(*other.d_, 0);
    LineTexts ta, tb;
    while (!a.AtEnd()) {
        if (a.Current().chunk->id == b.Current().chunk->id && a.Index() == b.Index()) {
            const qint64 run = std::min(a.LeftInEntry(), b.LeftInEntry());
            a.Advance(run);
            b.Advance(run);
            continue;
        }
        if (!ta.Same(a, b, tb))
            return false;
        a.Advance(1);
        b.Advance(1);
    }
    return true;
}
