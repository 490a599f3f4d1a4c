// Whole tail passes through the fake window on synthetic logs, against `grep -c` on the same
// bytes in the same run. Optional arguments: a case name, then a window size, to run only those. Prints one
// tab-separated row per case after a header line; the peak heap of each pass goes to stderr as comment lines.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "bench_stats.h"
#include "heap_meter.h"
#include "pass_runner.h"
#include "synthetic_log.h"

namespace {

struct BenchCase {
    const char* name;
    bool filterOn;
    const char* pattern;
    int context;
    bool killSpace;
    QStringList grepArgs;
    bool utf8 = false; // the window holds UTF-8 lines; also timed against the ASCII file
};

int RunsFor(qint64 bytes) {
    return bytes >= (qint64(64) << 20) ? 3 : bytes >= (qint64(8) << 20) ? 5 : 21;
}

// One pass's new heap, above what is live before it.
std::size_t PeakBytes(PassRunner& runner) {
    const std::size_t before = heap_meter::Live();
    heap_meter::ResetPeak();
    runner.Pass();
    return heap_meter::Peak() - before;
}

// The case's settings on a runner's fake window.
void Configure(PassRunner& runner, const BenchCase& c) {
    FakeTailWindow& fake = runner.Window();
    fake.filterOn = c.filterOn;
    fake.filterPattern = c.pattern;
    fake.contextLines = c.context;
    fake.killSpace = c.killSpace;
}

void RunCase(const BenchCase& c, const QString& asciiFile, const QString& utf8File, qint64 bytes) {
    const QString& file = c.utf8 ? utf8File : asciiFile;
    PassRunner runner(file, bytes);
    PassRunner ascii(asciiFile, bytes);
    Configure(runner, c);
    Configure(ascii, c);
    runner.Pass(); // warm-up: page cache, read buffer, compiled pattern
    if (c.utf8)
        ascii.Pass();
    const int runs = RunsFor(bytes);
    std::vector<double> pass, grep, asciiPass;
    for (int i = 0; i < runs; ++i) {
        pass.push_back(runner.Pass());
        grep.push_back(GrepSeconds(c.grepArgs + QStringList{file}));
        if (c.utf8)
            asciiPass.push_back(ascii.Pass());
    }
    const double passSeconds = Median(pass);
    std::printf("%s\t%lld\t%.1f\t%.2f\n", c.name, static_cast<long long>(bytes), bytes / passSeconds / 1e6,
                passSeconds / Median(grep));
    if (c.utf8) // speed against the same pass over an ASCII window of the same size, same run
        std::fprintf(stderr, "# %s\t%lld\tspeed_vs_ascii=%.2f\n", c.name, static_cast<long long>(bytes),
                     Median(asciiPass) / passSeconds);
    const std::size_t peak = PeakBytes(runner);
    // Working set of a pass: the read buffer and the output's index (both kept between passes) plus
    // what the pass allocates on top of them.
    const double window = double(bytes);
    std::fprintf(stderr,
                 "# %s\t%lld\tpass_ms=%.3f\tnew_heap_in_pass=%.2fx\tread_buffer=%.2fx\toutput_index=%.2fx\t"
                 "working_set=%.2fx window\n",
                 c.name, static_cast<long long>(bytes), passSeconds * 1e3, peak / window,
                 runner.ReadBufferBytes() / window, runner.OutputBytes() / window,
                 (peak + runner.ReadBufferBytes() + runner.OutputBytes()) / window);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    const QTemporaryDir& data = folders.data;
    QGuiApplication app(argc, argv);

    const std::vector<BenchCase> cases = {
        {"filter_off", false, "", 0, false, {"-c", ""}},
        {"filter_literal", true, "ERROR", 0, false, {"-c", "ERROR"}},
        {"filter_regex_ci", true, "(?i)error", 0, false, {"-c", "-i", "error"}},
        {"filter_context5", true, "ERROR", 5, false, {"-c", "ERROR"}},
        {"kill_space", false, "", 0, true, {"-c", ""}},
        {"kill_space_literal", true, "ERROR", 0, true, {"-c", "ERROR"}},
        {"utf8_filter_off", false, "", 0, false, {"-c", ""}, true},
        {"utf8_kill_space", false, "", 0, true, {"-c", ""}, true},
    };
    std::printf("case\twindow_bytes\tMB_per_s\tratio_to_grep\n");
    const std::vector<qint64> windows = {51200, qint64(64) << 10, qint64(1) << 20, qint64(16) << 20,
                                         qint64(128) << 20};
    for (qint64 bytes : windows) {
        if (argc > 2 && QByteArray(argv[2]) != QByteArray::number(bytes))
            continue;
        const QString file = data.filePath(QString("log_%1.log").arg(bytes));
        const QString utf8File = data.filePath(QString("utf8_%1.log").arg(bytes));
        for (const auto& [name, multibyte] : {std::pair{file, false}, std::pair{utf8File, true}}) {
            QFile out(name);
            if (!out.open(QIODevice::WriteOnly) || out.write(SyntheticLog(bytes, multibyte)) != bytes)
                return 1;
        }
        for (const BenchCase& c : cases) {
            if (bytes == 51200 && c.filterOn) // the default window: the plain pass only
                continue;
            if (argc > 1 && QByteArray(argv[1]) != c.name)
                continue;
            RunCase(c, file, utf8File, bytes);
        }
        QFile::remove(file);
        QFile::remove(utf8File);
    }
    return 0;
}
