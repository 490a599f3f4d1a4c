// Figures of the robustness work, each against a reference measured in the same run:
//   - loading a registry-form store of 40,000 and 200,000 values, against reading the same file
//     and cutting it into lines;
//   - a whole pass over 1,500 lines with the pathological filter ^(a+)+$, against the same pass
//     with a plain filter that matches nothing.
// Prints one tab-separated row per case (median milliseconds, reference, ratio).
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "bench_stats.h"
#include "pass_runner.h"
#include "platform/registry_store.h"

namespace {

void Row(const char* name, double ms, const char* reference, double referenceMs) {
    std::printf("%s\t%.1f ms\t%s\t%.1f ms\t%.1fx\n", name, ms, reference, referenceMs, ms / referenceMs);
    std::fflush(stdout);
}

void RegistryLoad(const QString& folder, int values) {
    const QString path = folder + QStringLiteral("/registry%1.reg").arg(values);
    QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Quorvel\\global]\n";
    for (int i = 0; i < values; ++i)
        text += "\"value" + QByteArray::number(i) + "\"=dword:" + QByteArray::number(i, 16) + "\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        std::exit(2);
    file.close();
    const double load = MedianMs(5, [&] {
        RegistryStore store(path);
        if (!store.Load() ||
            store.OpenKeyReadOnly("\\Software\\Velmora\\Quorvel\\global")->ValueNames().size() != values)
            std::exit(3);
    });
    const double read = MedianMs(5, [&] {
        QFile again(path);
        again.open(QIODevice::ReadOnly);
        if (QString::fromUtf8(again.readAll()).split(u'\n').size() < values)
            std::exit(4);
    });
    const QByteArray name = "registry load, " + QByteArray::number(values) + " values";
    Row(name.constData(), load, "read and split", read);
}

double PassMs(const QString& file, const QString& pattern) {
    PassRunner runner(file, 128 * 1024);
    runner.Window().filterOn = true;
    runner.Window().filterPattern = pattern;
    return MedianMs(5, [&] { runner.Pass(); });
}

} // namespace

int main(int argc, char** argv) {
    const BenchFolders folders;
    if (!folders.Valid())
        return 1;
    const QTemporaryDir& data = folders.data;
    QCoreApplication app(argc, argv);
    std::printf("case\tmedian\treference\treference median\tratio\n");
    RegistryLoad(data.path(), 40000);
    RegistryLoad(data.path(), 200000);

    const QString log = data.filePath("costly.log");
    QFile file(log);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    for (int i = 0; i < 1500; ++i)
        file.write(QByteArray(40, 'a') + "!\n");
    file.close();
    Row("pass, ^(a+)+$ over 1,500 lines", PassMs(log, "^(a+)+$"), "pass, plain filter", PassMs(log, "zzz"));
    return 0;
}
