#pragma once
// The stored text forms of settings: flags ("O"/"N"), integers, and the trimming every value read
// from a store goes through.

#include <QString>
#include <QtGlobal>

// Leading spaces, an optional sign, then decimal digits, or hexadecimal ones after "$", "x" or
// "0x" (any case); stops at the first character that does not belong and gives the value read so
// far. Empty or non-numeric text gives 0. Values wrap modulo 2^32 like a 32-bit register, so
// "$FFFFFFFF" and "4294967295" both give -1: colours with the system-colour high byte read the
// same in hexadecimal, unsigned or signed decimal form.
qint32 DecodeInteger(const QString& text);

// On for "O", "o", or text that reads "OUI" once a-z are upper-cased and the lower-case letters
// àâäçèéêëîïôöùûü become their plain capitals; everything else, "" included, is off.
bool DecodeFlag(const QString& text);

QString EncodeFlag(bool on);

// Trims leading and trailing characters whose code is at most 32 (blanks and control characters).
QString TrimBlanksAndControls(const QString& text);
