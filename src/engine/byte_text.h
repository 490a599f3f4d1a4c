#pragma once
// How the bytes of an 8-bit window become characters: every valid UTF-8 sequence becomes its
// character (two UTF-16 units above U+FFFF), and every byte outside a valid sequence becomes the
// character of its own code, so Latin-1 text still shows and no byte is ever dropped. Overlong
// forms, surrogates, code points above U+10FFFF and cut sequences fall to the byte rule.
// Decoded text is never longer, in UTF-16 units, than the bytes it came from.
#include <QString>

// True when none of the n bytes has its high bit set.
bool IsAsciiBytes(const char* p, qsizetype n);

// Appends the n bytes decoded as above.
void AppendDecodedBytes(QString& out, const char* p, qsizetype n);

// Writes the n bytes decoded as above to dst (room for n units); answers the units written.
qsizetype DecodeBytes(const char* p, qsizetype n, char16_t* dst);

// Kill space: every run of blanks (spaces and tabs) becomes one space, and a leading blank is
// dropped when afterSpace (the text before ends with a space).
// Appends the n bytes decoded and folded; plain ASCII stretches without a fold are copied in bulk.
void AppendFoldedBytes(QString& out, const char* p, qsizetype n, bool afterSpace);
// Folds text from `from` on, in place.
void FoldBlanks(QString& text, qsizetype from, bool afterSpace);
