#pragma once
// The text of a file line as the pass shapes it, made again from the line's bytes whenever it is
// needed: decoded (8-bit as UTF-8 with the byte rule, byte_text.h; UNI and UNIBIG as 16-bit
// units) and, with kill space, every run of blanks folded into one space. A line holds no line
// end, so its text depends on its own bytes only: that is what lets a snapshot keep a line as its
// place in the file.
//
// Long lines are never decoded whole to answer a column: LineColumns marks, every 64 KiB of bytes,
// the column and the fold state there, so a slice costs at most 64 KiB of decoding.
#include <vector>

#include <QByteArrayView>
#include <QString>

#include "engine/file_type.h"

struct LineShape {
    bool wide = false;      // 16-bit units
    bool bigEndian = false; // UNIBIG
    bool killSpace = false;
    static LineShape Of(TFileType type, bool killSpace) {
        return {IsWideType(type), type == TFileType::UNIBIG, killSpace};
    }
    friend bool operator==(const LineShape&, const LineShape&) = default;
};

// What a line shows when the file no longer holds the bytes it was cut from (rewritten or cut
// short since the pass): the next pass reads the window again.
QString UnreadableLineText();

// Appends the shaped text of bytes (a line, or a piece of one that starts on a character
// boundary; afterSpace: the text before the piece ends with a space, for kill space).
void AppendLineText(QString& out, QByteArrayView bytes, LineShape shape, bool afterSpace = false);
QString LineText(QByteArrayView bytes, LineShape shape);
// Units of the shaped text.
qsizetype LineUnits(QByteArrayView bytes, LineShape shape);

// Where a piece of a line may end so that the next piece starts on a character boundary: no UTF-8
// sequence starting before the answer reaches past it (16-bit: an even count).
qsizetype PieceEnd(QByteArrayView bytes, LineShape shape);

// Column places of a long line, every kColumnStep bytes or so.
struct LineColumns {
    static constexpr qsizetype kColumnStep = 65536;
    struct Place {
        qint64 byte = 0;    // from the line's start, on a character boundary
        qsizetype unit = 0; // units of the shaped text before it
        bool afterSpace = false;
    };
    qsizetype units = 0;
    std::vector<Place> places; // places[0] is the line's start
    // The last place at or before unit.
    const Place& Before(qsizetype unit) const;
};
