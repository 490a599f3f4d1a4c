// Passes on a growing file: the pass that reads only what changed against the pass that reads its
// whole window, on the same file in the same run (100 lines appended before each pass, and passes
// on a file that did not change); and kill space with a literal filter against the same pass
// without kill space. Prints tab-separated rows of medians in milliseconds and their ratios.
// Optional argument: a window size in bytes, to run only that one.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "bench_stats.h"
#include "pass_runner.h"
#include "synthetic_log.h"

namespace {

constexpr int kLinesPerStep = 100;

void Row(const char* name, qint64 window, double ms, double referenceMs, const char* reference) {
    std::printf("%s\t%lld\t%.3f\t%s\t%.3f\t%.4f\n", name, static_cast<long long>(window), ms, reference,
                referenceMs, ms / referenceMs);
    std::fflush(stdout);
}

// Steady passes: the file grows by 100 lines before each pass; then passes on a still file.
bool SteadyPasses(const QString& file, qint64 window, int runs) {
    GrowingLog log(file, window);
    if (!log.Started())
        return false;
    PassRunner incremental(file, window);
    PassRunner full(file, window);
    incremental.SetIncremental(true);
    incremental.Pass(false);
    full.Pass(false);
    std::vector<double> grown, grownFull, still, stillFull;
    for (int i = 0; i < runs; ++i) {
        if (log.Grow(kLinesPerStep) < 0)
            return false;
        grown.push_back(incremental.Pass(false) * 1e3);
        grownFull.push_back(full.Pass(false) * 1e3);
        if (incremental.Window().ViewText() != full.Window().ViewText()) {
            std::fprintf(stderr, "bench: the incremental view differs from the full one\n");
            return false;
        }
    }
    for (int i = 0; i < runs; ++i) {
        still.push_back(incremental.Pass(false) * 1e3);
        stillFull.push_back(full.Pass(false) * 1e3);
    }
    Row("steady_100_lines", window, Median(grown), Median(grownFull), "full_pass_ms");
    Row("unchanged_file", window, Median(still), Median(stillFull), "full_pass_ms");
    return true;
}

// Full passes with a literal filter, kill space on against off.
void KillSpaceLiteral(const QString& file, qint64 window, int runs) {
    PassRunner on(file, window);
    PassRunner off(file, window);
    for (PassRunner* runner : {&on, &off}) {
        runner->Window().filterOn = true;
        runner->Window().filterPattern = QStringLiteral("ERROR");
        runner->Pass();
    }
    on.Window().killSpace = true;
    on.Pass();
    std::vector<double> onMs, offMs;
    for (int i = 0; i < runs; ++i) {
        onMs.push_back(on.Pass() * 1e3);
        offMs.push_back(off.Pass() * 1e3);
    }
    Row("kill_space_literal", window, Median(onMs), Median(offMs), "kill_space_off_ms");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    const QTemporaryDir& data = folders.data;
    QGuiApplication app(argc, argv);
    std::printf("case\twindow_bytes\tmedian_ms\treference\treference_ms\tratio\n");
    for (qint64 window : {qint64(16) << 20, qint64(128) << 20}) {
        if (argc > 1 && QByteArray(argv[1]) != QByteArray::number(window))
            continue;
        const QString file = data.filePath(QStringLiteral("grow.log"));
        const int runs = window >= (qint64(128) << 20) ? 7 : 15;
        if (!SteadyPasses(file, window, runs))
            return 1;
        KillSpaceLiteral(file, window, runs);
        QFile::remove(file);
    }
    return 0;
}
