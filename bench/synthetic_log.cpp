#include "synthetic_log.h"

#include <random>

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

QByteArray SyntheticLog(qint64 bytes) {
    std::mt19937 random(42);
    QByteArray log;
    log.reserve(bytes + 512);
    while (log.size() < bytes)
        log += Line(random);
    log.truncate(bytes);
    return log;
}
