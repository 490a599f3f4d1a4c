#pragma once
// Synthetic server logs for the benchmarks: mixed line lengths, about one line in ten an ERROR
// line, IPv4 addresses, runs of blanks and tabs. Deterministic for a given size.
#include <QByteArray>

// multibyte: about one line in ten also holds UTF-8 words of 2-, 3- and 4-byte characters; the
// other lines are the same as without.
QByteArray SyntheticLog(qint64 bytes, bool multibyte = false);
