#pragma once
// Synthetic server logs for the benchmarks: mixed line lengths, about one line in ten an ERROR
// line, IPv4 addresses, runs of blanks and tabs. Deterministic for a given size.
#include <QByteArray>
#include <QString>

// multibyte: about one line in ten also holds UTF-8 words of 2-, 3- and 4-byte characters; the
// other lines are the same as without.
QByteArray SyntheticLog(qint64 bytes, bool multibyte = false);

// A log file that grows as a logger writes it: the first window + 1 MiB (to a line end) of a
// synthetic log written at once, then lines appended on demand.
class GrowingLog {
public:
    GrowingLog(const QString& file, qint64 window);
    bool Started() const { return started_; }
    // Appends the next count lines; the bytes appended, -1 when writing failed.
    qint64 Grow(int count);
    qint64 Written() const { return written_; }

private:
    QString file_;
    QByteArray log_;
    qsizetype written_ = 0;
    bool started_ = false;
};
