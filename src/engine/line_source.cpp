#include "engine/line_source.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "engine/pass_failure.h"

namespace {

quint64 NextSourceId() {
    static std::atomic<quint64> last{0};
    return ++last;
}

constexpr quint64 kMix = 0x9E3779B97F4A7C15ULL;

} // namespace

quint64 BlockHash(const char* data, qsizetype n) {
    quint64 a = kMix, b = quint64(n);
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        a += word;
        b += a;
    }
    if (i < n) {
        quint64 word = 0;
        std::memcpy(&word, data + i, size_t(n - i));
        a += word;
        b += a;
    }
    return a ^ (b * 0xFF51AFD7ED558CCDULL) ^ (b >> 29);
}

LineSource::LineSource(std::unique_ptr<FollowedFile> file)
    : id_(NextSourceId()), stamp_(file->Stamp()), file_(std::move(file)) {
    slots_.resize(kCachedBlocks);
}

bool LineSource::Changed() const {
    std::lock_guard guard(lock_);
    return changed_;
}

void LineSource::SetChanged() {
    std::lock_guard guard(lock_);
    changed_ = true;
}

QString LineSource::ErrorString() const {
    std::lock_guard guard(readLock_);
    return error_;
}

qint64 LineSource::ReadFile(qint64 position, char* data, qint64 n) {
    std::lock_guard guard(readLock_);
    const qint64 got = file_->ReadAt(position, data, n);
    if (got < 0)
        error_ = file_->ErrorString();
    return got;
}

void LineSource::UseFile(std::unique_ptr<FollowedFile> file) {
    std::lock_guard guard(readLock_);
    file_ = std::move(file);
}

LineSource::Mark LineSource::MarkOf(qint64 block) const {
    const qint64 at = block - marksBase_;
    return at >= 0 && at < qint64(marks_.size()) ? marks_[size_t(at)] : Mark();
}

void LineSource::SetMark(qint64 block, Mark mark) {
    if (marks_.empty())
        marksBase_ = block;
    while (block < marksBase_) {
        marks_.push_front(Mark());
        --marksBase_;
    }
    while (block - marksBase_ >= qint64(marks_.size()))
        marks_.push_back(Mark());
    marks_[size_t(block - marksBase_)] = mark;
}

bool LineSource::Matches(const Mark& mark, const char* data, qint64 n) const {
    return mark.length < 0 || (n >= mark.length && BlockHash(data, mark.length) == mark.hash);
}

qint64 LineSource::ReadBlocks(qint64 first, qint64 count, char* data) {
    const qint64 got = ReadFile(first * kBlockBytes, data, count * kBlockBytes);
    if (got < 0)
        return -1;
    std::lock_guard guard(lock_);
    std::vector<Mark> marks;
    for (qint64 k = 0; k < count && k * kBlockBytes < got; ++k) {
        const char* bytes = data + k * kBlockBytes;
        const qint64 n = std::min(kBlockBytes, got - k * kBlockBytes);
        const Mark old = MarkOf(first + k);
        if (!Matches(old, bytes, n)) {
            changed_ = true;
            return -2;
        }
        marks.push_back(n > old.length ? Mark{n, BlockHash(bytes, n)} : old);
    }
    for (size_t k = 0; k < marks.size(); ++k)
        SetMark(first + qint64(k), marks[k]);
    return got;
}

bool LineSource::Verify(qint64 block) {
    QByteArray bytes(kBlockBytes, Qt::Uninitialized);
    const qint64 got = ReadFile(block * kBlockBytes, bytes.data(), kBlockBytes);
    std::lock_guard guard(lock_);
    if (got < 0 || !Matches(MarkOf(block), bytes.constData(), got)) {
        changed_ = true;
        return false;
    }
    return true;
}

void LineSource::Insert(qint64 block, QByteArray bytes) {
    Slot* victim = &slots_.front();
    for (Slot& slot : slots_) {
        if (slot.block == block) {
            victim = &slot;
            break;
        }
        if (slot.used < victim->used)
            victim = &slot;
    }
    victim->block = block;
    victim->bytes = std::move(bytes);
    victim->used = ++clock_;
}

QByteArray LineSource::Block(qint64 block, qint64 atLeast) {
    Mark mark;
    {
        std::lock_guard guard(lock_);
        for (Slot& slot : slots_) {
            if (slot.block == block && slot.bytes.size() >= atLeast) {
                slot.used = ++clock_;
                return slot.bytes;
            }
        }
        mark = MarkOf(block);
        if (changed_ || mark.length < atLeast)
            return {};
    }
    QByteArray bytes(kBlockBytes, Qt::Uninitialized);
    qint64 got = -1;
    try {
        got = ReadFile(block * kBlockBytes, bytes.data(), kBlockBytes);
    } catch (const PassCancelled&) {
        // A read that failed after a stop: a reader (the view, a find) never ends with the pass.
    }
    std::lock_guard guard(lock_);
    mark = MarkOf(block); // a pass may have grown it meanwhile
    if (got < 0 || mark.length < 0 || !Matches(mark, bytes.constData(), got)) {
        changed_ = true;
        return {};
    }
    bytes.truncate(mark.length);
    Insert(block, bytes);
    return bytes;
}

bool LineSource::Bytes(qint64 start, qint64 n, QByteArray& scratch, QByteArrayView& out) {
    const qint64 first = start / kBlockBytes, last = (start + std::max<qint64>(n, 1) - 1) / kBlockBytes;
    if (first == last) {
        const qint64 from = start - first * kBlockBytes;
        const QByteArray block = Block(first, from + n);
        if (block.isNull())
            return false;
        // The view stays valid while the caller holds `scratch`: the block is kept there.
        scratch = block;
        out = QByteArrayView(scratch.constData() + from, n);
        return true;
    }
    scratch.resize(n);
    for (qint64 b = first, at = 0; b <= last; ++b) {
        const qint64 from = b == first ? start - b * kBlockBytes : 0;
        const qint64 take = std::min(kBlockBytes - from, n - at);
        const QByteArray block = Block(b, from + take);
        if (block.isNull())
            return false;
        std::memcpy(scratch.data() + at, block.constData() + from, size_t(take));
        at += take;
    }
    out = QByteArrayView(scratch.constData(), n);
    return true;
}

std::shared_ptr<const LineColumns> LineSource::Columns(qint64 start, qint64 length, LineShape shape) {
    constexpr size_t kKept = 8;
    {
        std::lock_guard guard(lock_);
        for (auto it = longLines_.begin(); it != longLines_.end(); ++it) {
            if (it->start == start && it->length == length && it->shape == shape) {
                std::rotate(longLines_.begin(), it, it + 1);
                return longLines_.front().columns;
            }
        }
    }
    auto columns = std::make_shared<LineColumns>();
    columns->places.push_back({});
    bool afterSpace = false;
    QByteArray scratch;
    QString text;
    for (qint64 at = 0; at < length;) {
        const qint64 take = std::min<qint64>(LineColumns::kColumnStep, length - at);
        QByteArrayView bytes;
        if (!Bytes(start + at, take, scratch, bytes))
            return nullptr;
        const qsizetype cut = at + take < length ? PieceEnd(bytes, shape) : bytes.size();
        text.resize(0);
        AppendLineText(text, bytes.first(cut), shape, afterSpace);
        columns->units += text.size();
        if (!text.isEmpty())
            afterSpace = text.back() == u' ';
        at += cut;
        if (at < length)
            columns->places.push_back({at, columns->units, afterSpace});
    }
    std::lock_guard guard(lock_);
    longLines_.insert(longLines_.begin(), LongLine{start, length, shape, columns});
    if (longLines_.size() > kKept)
        longLines_.pop_back();
    return columns;
}

qint64 LineSource::MemoryBytes() const {
    std::lock_guard guard(lock_);
    qint64 total = qint64(marks_.size() * sizeof(Mark));
    for (const Slot& slot : slots_)
        total += slot.bytes.capacity();
    return total;
}
