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

#include "engine/clock.h"
#include "engine/tail_pass.h"
#include "rdns/reverse_dns.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/fake_tail_window.h"

namespace {

constexpr qint64 kWindowBytes = 51200;
constexpr int kDistinct = 1000;
constexpr int kRuns = 41;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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

class PassRunner {
public:
    PassRunner(const QString& file, AddressResolver* resolver) {
        params_.LoadParams();
        params_.usethread = false;
        manager_.LoadFromRegistry();
        manager_.SetFileName(file);
        window_.readBufferKo = int(kWindowBytes / 1024);
        window_.linesThatFit = 40;
        window_.processEvents = true;
        rt_.TailStatus = tsStart;
        deps_.window = &window_;
        deps_.manager = &manager_;
        deps_.params = &params_;
        deps_.clock = &clock_;
        deps_.resolver = resolver;
    }

    void SetReverseDns(bool on) { window_.reverseDns = on; }
    QString ViewText() const { return window_.viewText; }

    // One pass that replaces the view, as when the file changed since the last pass.
    double Pass() {
        if (!window_.viewText.isEmpty())
            window_.viewText[0] = QChar(window_.viewText[0].unicode() ^ 1);
        rt_.Countdown = 1;
        QElapsedTimer timer;
        timer.start();
        DomTail(rt_, deps_, window_, false);
        return timer.nsecsElapsed() / 1e9;
    }

private:
    TTailParam params_;
    TTailFileManager manager_;
    FakeTailWindow window_;
    SystemClock clock_;
    TailRuntime rt_;
    EngineDeps deps_;
};

bool AllResolved(const TReverseDNS& cache) {
    const auto entries = cache.Entries();
    return entries.size() == std::size_t(kDistinct) &&
           std::none_of(entries.begin(), entries.end(),
                        [](const auto& entry) { return entry.second == "#"; });
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    QTemporaryDir data;
    if (!config.isValid() || !data.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QGuiApplication app(argc, argv);

    const QString file = data.filePath(QStringLiteral("addresses.log"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(AddressLog()) != kWindowBytes)
        return 1;
    out.close();

    // Names come at once from a table, never from the network.
    TReverseDNS cache(
        [](const QString& address) { return QStringLiteral("host-") + address + QStringLiteral(".lan"); });
    PassRunner runner(file, &cache);
    runner.SetReverseDns(true);
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
    if (!runner.ViewText().contains(QStringLiteral("[host-10.3.231.7.lan]"))) {
        std::fprintf(stderr, "bench: the pass did not show the resolved names\n");
        return 2;
    }

    std::vector<double> on, off;
    for (int i = 0; i < kRuns; ++i) {
        runner.SetReverseDns(true);
        on.push_back(runner.Pass());
        runner.SetReverseDns(false);
        off.push_back(runner.Pass());
    }
    std::printf("case\twindow_bytes\tdistinct_addresses\tpass_ms\tpass_ms_rdns_off\tratio_to_rdns_off\n");
    std::printf("rdns_resolved\t%lld\t%d\t%.3f\t%.3f\t%.2f\n", static_cast<long long>(kWindowBytes),
                kDistinct, Median(on) * 1e3, Median(off) * 1e3, Median(on) / Median(off));
    return 0;
}
