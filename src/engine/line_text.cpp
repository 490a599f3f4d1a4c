#include "engine/line_text.h"

#include <algorithm>

#include <QtEndian>

#include "engine/byte_text.h"

namespace {

int SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
}

void AppendWide(QString& out, QByteArrayView bytes, bool bigEndian) {
    const qsizetype units = bytes.size() / 2;
    const qsizetype base = out.size();
    out.resize(base + units);
    auto* dst = reinterpret_cast<char16_t*>(out.data()) + base;
    const auto* src = reinterpret_cast<const uchar*>(bytes.data());
    for (qsizetype i = 0; i < units; ++i)
        dst[i] = bigEndian ? qFromBigEndian<quint16>(src + 2 * i) : qFromLittleEndian<quint16>(src + 2 * i);
}

} // namespace

QString UnreadableLineText() {
    return QStringLiteral("[this line changed in the file: it shows again at the next pass]");
}

void AppendLineText(QString& out, QByteArrayView bytes, LineShape shape, bool afterSpace) {
    if (shape.wide) {
        const qsizetype base = out.size();
        AppendWide(out, bytes, shape.bigEndian);
        if (shape.killSpace)
            FoldBlanks(out, base, afterSpace);
    } else if (shape.killSpace) {
        AppendFoldedBytes(out, bytes.data(), bytes.size(), afterSpace);
    } else {
        AppendDecodedBytes(out, bytes.data(), bytes.size());
    }
}

QString LineText(QByteArrayView bytes, LineShape shape) {
    QString text;
    AppendLineText(text, bytes, shape);
    return text;
}

qsizetype LineUnits(QByteArrayView bytes, LineShape shape) {
    if (!shape.killSpace) {
        if (shape.wide)
            return bytes.size() / 2;
        if (IsAsciiBytes(bytes.data(), bytes.size()))
            return bytes.size();
    }
    return LineText(bytes, shape).size();
}

qsizetype PieceEnd(QByteArrayView bytes, LineShape shape) {
    const qsizetype n = bytes.size();
    if (shape.wide)
        return n & ~qsizetype(1);
    for (qsizetype i = std::max<qsizetype>(0, n - 3); i < n; ++i) {
        if (i + SequenceLength(uchar(bytes[i])) > n)
            return i;
    }
    return n;
}

const LineColumns::Place& LineColumns::Before(qsizetype unit) const {
    auto after = std::upper_bound(places.begin(), places.end(), unit,
                                  [](qsizetype u, const Place& p) { return u < p.unit; });
    return after == places.begin() ? places.front() : *std::prev(after);
}
