#pragma once
// What every benchmark program measures with: medians of repeated timings, and `grep` as the
// same-run reference.
#include <functional>
#include <vector>

#include <QStringList>

double Median(std::vector<double> values);
// Milliseconds of `work`, median of `runs` runs; `prepare` runs before each, untimed.
double MedianMs(int runs, const std::function<void()>& work, const std::function<void()>& prepare = {});
// Seconds of one `grep` run with these arguments (LC_ALL=C); exits the program when grep cannot run.
double GrepSeconds(const QStringList& args);
