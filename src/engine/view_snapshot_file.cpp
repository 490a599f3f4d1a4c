#include "engine/view_snapshot_file.h"

#include <algorithm>

#include "engine/utf8_scan.h"

namespace view_snapshot_detail {

namespace {

void PutVarint(std::vector<quint8>& stream, quint64 value) {
    while (value >= 0x80) {
        stream.push_back(quint8(value | 0x80));
        value >>= 7;
    }
    stream.push_back(quint8(value));
}

quint64 GetVarint(const std::vector<quint8>& stream, quint32& at) {
    quint64 value = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = stream[at++];
        value |= quint64(b & 0x7F) << shift;
        if (b < 0x80)
            return value;
    }
}

quint64 ZigZag(qint64 v) {
    return (quint64(v) << 1) ^ quint64(v >> 63);
}
qint64 UnZigZag(quint64 v) {
    return qint64(v >> 1) ^ -qint64(v & 1);
}

enum Code : quint64 { kAfterOne = 0, kAfterTwo = 1, kExplicit = 2, kStored = 3 };

} // namespace

FileLineRef FileLines::Next(FileSample& state) const {
    const quint64 v = GetVarint(stream, state.stream);
    const qint64 length = qint64(v >> 2);
    if ((v & 3) == kStored) {
        const FileLineRef ref{true, state.stored, length};
        state.stored += quint32(length);
        return ref;
    }
    const qint64 gap = (v & 3) == kAfterOne   ? 1
                       : (v & 3) == kAfterTwo ? 2
                                              : UnZigZag(GetVarint(stream, state.stream));
    const qint64 start = state.pos + gap;
    state.pos = start + length;
    return {false, start, length};
}

FileSample FileLines::StateBefore(qint64 index) const {
    FileSample state = samples[size_t(index / kSampleLines)];
    for (qint64 i = index / kSampleLines * kSampleLines; i < index; ++i)
        Next(state);
    return state;
}

FileLineRef FileLines::Ref(qint64 index) const {
    FileSample state = StateBefore(index);
    return Next(state);
}

void FileLines::AppendFile(qint64 start, qint64 length) {
    if (lines % kSampleLines == 0)
        samples.push_back(end);
    const qint64 gap = start - end.pos;
    const quint64 code = gap == 1 ? kAfterOne : gap == 2 ? kAfterTwo : kExplicit;
    PutVarint(stream, (quint64(length) << 2) | code);
    if (code == kExplicit)
        PutVarint(stream, ZigZag(gap));
    end.pos = start + length;
    end.stream = quint32(stream.size());
    ++lines;
    fileBytes += length;
    longestUnits = std::max<qsizetype>(longestUnits, shape.wide ? length / 2 : length);
}

void FileLines::AppendStored(QByteArrayView utf8, qsizetype units) {
    if (lines % kSampleLines == 0)
        samples.push_back(end);
    PutVarint(stream, (quint64(utf8.size()) << 2) | kStored);
    stored.append(utf8);
    end.stream = quint32(stream.size());
    end.stored = quint32(stored.size());
    ++lines;
    longestUnits = std::max(longestUnits, units);
}

qint64 FileLines::HeapBytes() const {
    return qint64(sizeof(FileLines)) + qint64(stream.capacity()) + stored.capacity() +
           qint64(samples.capacity() * sizeof(FileSample));
}

bool FileLineReader::Read(const FileLines& lines, qint64 start, qint64 length, QByteArrayView& out) {
    LineSource& source = *lines.source;
    const qint64 block = start / LineSource::kBlockBytes;
    const qint64 from = start - block * LineSource::kBlockBytes;
    if (from + length > LineSource::kBlockBytes)
        return source.Bytes(start, length, scratch_, out);
    if (source_ != &source || block_ != block || bytes_.size() < from + length) {
        source_ = &source;
        block_ = block;
        bytes_ = source.Block(block, from + length);
        if (bytes_.isNull()) {
            block_ = -1;
            return false;
        }
    }
    out = QByteArrayView(bytes_.constData() + from, length);
    return true;
}

QString DecodeStoredUtf8(QByteArrayView bytes) {
    return LineUtf8Decoder().decode(bytes);
}

void AppendFileLineText(QString& out, const FileLines& lines, const FileLineRef& ref,
                        FileLineReader& reader) {
    if (ref.stored) {
        out.append(DecodeStoredUtf8(QByteArrayView(lines.stored).sliced(ref.start, ref.length)));
        return;
    }
    QByteArrayView bytes;
    if (reader.Read(lines, ref.start, ref.length, bytes))
        AppendLineText(out, bytes, lines.shape);
    else
        out.append(UnreadableLineText());
}

qsizetype FileLineUnits(const FileLines& lines, const FileLineRef& ref, FileLineReader& reader) {
    if (ref.stored) {
        const QByteArrayView bytes = QByteArrayView(lines.stored).sliced(ref.start, ref.length);
        return Utf8UnitsBefore(bytes, bytes.size());
    }
    if (ref.length > kLongFileLine) {
        const auto columns = lines.source->Columns(ref.start, ref.length, lines.shape);
        return columns ? columns->units : UnreadableLineText().size();
    }
    QByteArrayView bytes;
    if (!reader.Read(lines, ref.start, ref.length, bytes))
        return UnreadableLineText().size();
    return LineUnits(bytes, lines.shape);
}

QString FileLineSlice(const FileLines& lines, const FileLineRef& ref, qsizetype from, qsizetype length) {
    FileLineReader reader;
    if (ref.stored || ref.length <= kLongFileLine) {
        QString text;
        AppendFileLineText(text, lines, ref, reader);
        return text.mid(from, length);
    }
    const auto columns = lines.source->Columns(ref.start, ref.length, lines.shape);
    if (!columns)
        return UnreadableLineText().mid(from, length);
    const LineColumns::Place& place = columns->Before(from);
    QString text;
    bool afterSpace = place.afterSpace;
    QByteArray scratch;
    for (qint64 at = place.byte; at < ref.length && text.size() < from - place.unit + length;) {
        QByteArrayView bytes;
        const qint64 take = std::min<qint64>(LineColumns::kColumnStep, ref.length - at);
        if (!lines.source->Bytes(ref.start + at, take, scratch, bytes))
            return UnreadableLineText().mid(from, length);
        const qsizetype cut = at + take < ref.length ? PieceEnd(bytes, lines.shape) : bytes.size();
        const qsizetype before = text.size();
        AppendLineText(text, bytes.first(cut), lines.shape, afterSpace);
        if (text.size() > before)
            afterSpace = text.back() == u' ';
        at += cut;
    }
    return text.mid(from - place.unit, length);
}

} // namespace view_snapshot_detail
