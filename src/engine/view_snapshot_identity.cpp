// ViewSnapshot: line identities. A line is known by its chunk and its index in it: chunks are
// shared by the snapshots built from one another, and a chunk extended in place keeps its id
// (view_snapshot_data.h), so a line keeps its identity as long as it stays stored.
#include <QHash>

#include "engine/view_snapshot.h"
#include "engine/view_snapshot_data.h"

using namespace view_snapshot_detail;

namespace {

// A chunk holds at most kChunkLines lines: the index takes the low bits.
constexpr int kIndexBits = 14;
static_assert((qint64(1) << kIndexBits) >= kChunkLines);
constexpr quint64 kIndexMask = (quint64(1) << kIndexBits) - 1;

} // namespace

size_t qHash(ViewLineId id, size_t seed) noexcept {
    return qHash(id.value, seed);
}

ViewLineId ViewSnapshot::LineId(qint64 line) const {
    const ViewLineKey key = LineKey(line);
    return {key.chunk << kIndexBits | key.index};
}

std::vector<qint64> ViewSnapshot::LinesOf(const std::vector<ViewLineId>& ids) const {
    QHash<quint64, const Entry*> entries;
    entries.reserve(qsizetype(d_->entries.size()));
    for (const Entry& e : d_->entries)
        entries.insert(e.chunk->id, &e);
    std::vector<qint64> lines;
    lines.reserve(ids.size());
    for (const ViewLineId id : ids) {
        const Entry* e = entries.value(id.value >> kIndexBits);
        const qint64 index = qint64(id.value & kIndexMask);
        lines.push_back(e && index >= e->skip && index < e->chunk->Lines() ? e->first + index - e->skip : -1);
    }
    return lines;
}
