// A whole tail pass over a 50 KiB window holding 1,000 distinct IPv4 addresses, with R. DNS on and
// every address already resolved in the cache, against the same pass with R. DNS off in the same
// run. Prints one tab-separated row after a header line: the median pass time of each and their
// ratio.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include "bench_stats.h"
#include "pass_runner.h"
#include "rdns/reverse_dns.h"

namespace {

constexpr qint64 kWindowBytes = 51200;
constexpr int kDistinct = 1000;
constexpr int kRuns = 41;

// 1,000 lines with distinct addresses, then lines that repeat them until the window is full.
QByteArray AddressLog() {
    QByteArray log;
    for (int i = 0; log.size() < kWindowBytes; ++i) {
        const int n = i % kDistinct;
        log += "10:00:00 sshd: from 10." + QByteArray::number(n / 256) + '.' + QByteArray::number(n % 256) +
               ".7 port " + QByteArray::number(1024 + i) + '\n';
    }
    log.truncate(kWindowBytes);
    return log;
}

bool AllResolved(const TReverseDNS& cache) {
    const auto entries = cache.Entries();
    return entries.size() == std::size_t(kDistinct) &&
           std::none_of(entries.begin(), entries.end(),
                        [](const auto& entry) { return entry.second == "#"; });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    const QTemporaryDir& data = folders.data;
    QGuiApplication app(argc, argv);

    const QString file = data.filePath(QStringLiteral("addresses.log"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(AddressLog()) != kWindowBytes)
        return 1;
    out.close();

    // Names come at once from a table, never from the network.
    TReverseDNS cache(
        [](const QString& address) { return QStringLiteral("host-") + address + QStringLiteral(".lan"); });
    PassRunner runner(file, kWindowBytes, &cache);
    FakeTailWindow& window = runner.Window();
    window.reverseDns = true;
    runner.Pass(); // queues every address
    QElapsedTimer wait;
    wait.start();
    while (!AllResolved(cache)) {
        if (wait.elapsed() > 60000) {
            std::fprintf(stderr, "bench: the resolver did not resolve the addresses\n");
            return 2;
        }
        QThread::msleep(5);
    }
    runner.Pass();
    if (!window.ViewText().contains(QStringLiteral("[host-10.3.231.7.lan]"))) {
        std::fprintf(stderr, "bench: the pass did not show the resolved names\n");
        return 2;
    }

    std::vector<double> on, off;
    for (int i = 0; i < kRuns; ++i) {
        window.reverseDns = true;
        on.push_back(runner.Pass());
        window.reverseDns = false;
        off.push_back(runner.Pass());
    }
    std::printf("case\twindow_bytes\tdistinct_addresses\tpass_ms\tpass_ms_rdns_off\tratio_to_rdns_off\n");
    std::printf("rdns_resolved\t%lld\t%d\t%.3f\t%.3f\t%.2f\n", static_cast<long long>(kWindowBytes),
                kDistinct, Median(on) * 1e3, Median(off) * 1e3, Median(on) / Median(off));
    return 0;
}
