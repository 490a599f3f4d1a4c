#include "bench_stats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MedianMs(int runs, const std::function<void()>& work, const std::function<void()>& prepare) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return Median(ms);
}

double GrepSeconds(const QStringList& args) {
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    grep.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    grep.start("grep", args);
    if (!grep.waitForFinished(-1) || grep.exitStatus() != QProcess::NormalExit || grep.exitCode() > 1) {
        std::fprintf(stderr, "bench: grep could not run: %s\n", qPrintable(grep.errorString()));
        std::exit(2);
    }
    return timer.nsecsElapsed() / 1e9;
}

BenchFolders::BenchFolders() {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
}

bool AppendTo(const QString& file, QByteArrayView bytes) {
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Append) &&
           out.write(bytes.data(), bytes.size()) == bytes.size();
}
