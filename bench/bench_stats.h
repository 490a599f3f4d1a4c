#pragma once
// What every benchmark program measures with: medians of repeated timings, `grep` as the same-run
// reference, and private folders for the settings and the logs.
#include <functional>
#include <vector>

#include <QByteArrayView>
#include <QStringList>
#include <QTemporaryDir>

double Median(std::vector<double> values);
// Milliseconds of `work`, median of `runs` runs; `prepare` runs before each, untimed.
double MedianMs(int runs, const std::function<void()>& work, const std::function<void()>& prepare = {});
// Seconds of one `grep` run with these arguments (LC_ALL=C); exits the program when grep cannot run.
double GrepSeconds(const QStringList& args);
// Appends bytes to a file; false when that failed.
bool AppendTo(const QString& file, QByteArrayView bytes);

// A settings folder of its own (XDG_CONFIG_HOME points there while the program runs) and a
// folder for the logs, both removed at the end. Made before the application object.
struct BenchFolders {
    BenchFolders();
    bool Valid() const { return config.isValid() && data.isValid(); }
    QTemporaryDir config;
    QTemporaryDir data;
};
