#include "synthetic_log.h"

#include <random>

#include <QFile>

namespace {

const char* const kWords[] = {"GET",    "POST",  "user", "session", "request", "completed", "timeout",
                              "db",     "cache", "miss", "hit",     "queue",   "worker",    "retry",
                              "status", "200",   "404",  "latency", "ms",      "payload",   "handler"};

QByteArray Line(std::mt19937& random) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> words(2, 40);
    std::uniform_int_distribution<int> octet(1, 254);
    QByteArray line = "2024-03-05 10:00:00 ";
    line += percent(random) < 10 ? "ERROR " : (percent(random) < 50 ? "INFO  " : "DEBUG ");
    line += "from " + QByteArray::number(octet(random)) + '.' + QByteArray::number(octet(random)) + '.' +
            QByteArray::number(octet(random)) + '.' + QByteArray::number(octet(random));
    const int count = words(random);
    for (int i = 0; i < count; ++i) {
        const int p = percent(random);
        line += p < 5 ? "\t" : (p < 10 ? "   " : " ");
        line += kWords[static_cast<size_t>(p) % (sizeof kWords / sizeof *kWords)];
    }
    return line + '\n';
}

} // namespace

const char* const kMultibyteWords[] = {"caf\xC3\xA9",
                                       "Gr\xC3\xB6\xC3\x9F"
                                       "e",
                                       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                       "\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0",
                                       "\xF0\x9F\x98\x80"};

QByteArray SyntheticLog(qint64 bytes, bool multibyte) {
    std::mt19937 random(42);
    std::mt19937 extra(7);
    std::uniform_int_distribution<int> percent(0, 99);
    QByteArray log;
    log.reserve(bytes + 512);
    while (log.size() < bytes) {
        QByteArray line = Line(random);
        if (multibyte && percent(extra) < 10) {
            for (int i = 0; i < 3; ++i)
                line.insert(line.size() - 1,
                            QByteArray(" ") +
                                kMultibyteWords[static_cast<size_t>(percent(extra)) %
                                                (sizeof kMultibyteWords / sizeof *kMultibyteWords)]);
        }
        log += line;
    }
    log.truncate(bytes);
    return log;
}

namespace {

// The position after the count-th line end from `from` on.
qsizetype AfterLines(const QByteArray& bytes, qsizetype from, int count) {
    for (; count > 0 && from < bytes.size(); --count) {
        const qsizetype at = bytes.indexOf('\n', from);
        if (at < 0)
            return bytes.size();
        from = at + 1;
    }
    return from;
}

bool AppendTo(const QString& file, QByteArrayView bytes) {
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Append) &&
           out.write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

GrowingLog::GrowingLog(const QString& file, qint64 window)
    : file_(file), log_(SyntheticLog(window + (qint64(4) << 20))) {
    written_ = AfterLines(log_, window + (qint64(1) << 20), 1);
    QFile::remove(file_);
    started_ = AppendTo(file_, QByteArrayView(log_).first(written_));
}

qint64 GrowingLog::Grow(int count) {
    const qsizetype next = AfterLines(log_, written_, count);
    if (!AppendTo(file_, QByteArrayView(log_).sliced(written_, next - written_)))
        return -1;
    const qint64 appended = next - written_;
    written_ = next;
    return appended;
}
