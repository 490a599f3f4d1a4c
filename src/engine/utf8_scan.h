#pragma once
// Small scans over UTF-8 text that the view's snapshot needs: validity with the UTF-16 length in
// one pass, and the mapping between byte offsets and UTF-16 code-unit columns. The snapshot keeps
// text as UTF-8 while the widgets count columns in QString units, so these run on every line
// lookup that needs a column: they never allocate.
#include <QByteArrayView>
#include <QStringDecoder>
#include <QStringView>

struct Utf8Scan {
    bool valid = true;
    bool ascii = true;
    qsizetype units = 0; // UTF-16 code units the bytes decode to (valid text only)
};

// The decoder of a line's stored bytes: a U+FEFF at its start is text (the mark that began the
// file), and a sequence cut off at its end shows as U+FFFD instead of vanishing.
QStringDecoder LineUtf8Decoder();

// One pass over the bytes: well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
Utf8Scan ScanUtf8(QByteArrayView bytes);

// Bytes of the UTF-8 form of a text (an unpaired surrogate becomes U+FFFD, three bytes).
qsizetype Utf8Size(QStringView text);

// UTF-16 units in bytes[0, end). The bytes are valid UTF-8 and end lies on a character boundary.
qsizetype Utf8UnitsBefore(QByteArrayView bytes, qsizetype end);

// Where UTF-16 unit `unit` lies, walking valid UTF-8 from a character boundary `byte` that holds
// unit `unitAtByte`: the byte offset of the character holding it and the unit that character
// starts with (one less than `unit` when it points at the second half of a surrogate pair).
// A unit at or past the end gives the end of the bytes and the units counted up to it.
struct Utf8Place {
    qsizetype byte = 0;
    qsizetype unit = 0;
};
Utf8Place Utf8FindUnit(QByteArrayView bytes, Utf8Place from, qsizetype unit);
