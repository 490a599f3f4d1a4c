#pragma once
// The lines of a snapshot's file chunks: decoding their index, reading their bytes through the
// line source and making their text. Shared by the snapshot and its builder only.
#include <QByteArray>
#include <QString>

#include "engine/view_snapshot_data.h"

namespace view_snapshot_detail {

// Reads the bytes of file lines of one source after another, keeping the block it read last, so
// lines read in order cost one look at the cache per block. Single thread.
class FileLineReader final {
public:
    // false when the file no longer holds the bytes as indexed.
    bool Read(const FileLines& lines, qint64 start, qint64 length, QByteArrayView& out);

private:
    const LineSource* source_ = nullptr;
    qint64 block_ = -1;
    QByteArray bytes_;
    QByteArray scratch_;
};

QString DecodeStoredUtf8(QByteArrayView bytes);

// A line of a file chunk as text: stored bytes decoded, file bytes shaped, or the notice that the
// file no longer holds them.
void AppendFileLineText(QString& out, const FileLines& lines, const FileLineRef& ref, FileLineReader& reader);
qsizetype FileLineUnits(const FileLines& lines, const FileLineRef& ref, FileLineReader& reader);
// Units [from, from + length) of the line; a long file line is decoded only around them.
QString FileLineSlice(const FileLines& lines, const FileLineRef& ref, qsizetype from, qsizetype length);

} // namespace view_snapshot_detail
