#pragma once
// Byte counts as short texts ("512 b", "9.8 Kb", "1.25 Mb"), the same in every locale.

#include <QChar>
#include <QString>
#include <QtGlobal>

// unitLetter is 'b' for bytes or 'o' for octets. Steps of 1024 with thresholds at 900; the
// decimal separator is always '.'. Beyond the terabyte row the text is empty (no sign either).
QString SizeText(qint64 bytes, QChar unitLetter);
