#pragma once
// Synthetic server logs for the benchmarks: mixed line lengths, about one line in ten an ERROR
// line, IPv4 addresses, runs of blanks and tabs. Deterministic for a given size.
#include <QByteArray>

QByteArray SyntheticLog(qint64 bytes);
