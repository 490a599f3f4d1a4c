// Figures of the robustness work, each against a reference measured in the same run:
//   - loading a registry-form store of 40,000 and 200,000 values, against reading the same file
//     and cutting it into lines;
//   - a whole pass over 1,500 lines with the pathological filter ^(a+)+$, against the same pass
//     with a plain filter that matches nothing;
//   - a wildcard over a folder of 100,000 matching files: the first pass, then a pass with nothing
//     changed, against a pass of the same file named without a wildcard;
//   - one line of 200,000 distinct addresses with R. DNS on (names from a table, at once): the
//     first pass, and a pass once every name is known, against the same pass with R. DNS off.
// Prints one tab-separated row per case (median milliseconds, reference, ratio).
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "bench_stats.h"
#include "pass_runner.h"
#include "platform/registry_store.h"
#include "rdns/reverse_dns.h"

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

void WriteOrExit(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::exit(2);
}

void WildcardOverManyFiles(const QString& folder) {
    constexpr int kFiles = 100000;
    const QString logs = folder + QStringLiteral("/many");
    QDir().mkpath(logs);
    for (int i = 0; i < kFiles; ++i)
        WriteOrExit(logs + QStringLiteral("/app-%1.log").arg(i, 6, 10, QLatin1Char('0')), "line\n");
    const QString newest = logs + QStringLiteral("/app-099999.log");
    WriteOrExit(newest, QByteArray(64 * 1024, 'x') + '\n');
    PassRunner wildcard(logs + QStringLiteral("/app-*.log"), 64 * 1024);
    QElapsedTimer first;
    first.start();
    wildcard.Pass();
    const double firstMs = first.nsecsElapsed() / 1e6;
    PassRunner named(newest, 64 * 1024);
    const double plain = MedianMs(5, [&] { named.Pass(); });
    Row("wildcard over 100,000 files, first pass", firstMs, "pass, file named", plain);
    Row("wildcard over 100,000 files, unchanged folder", MedianMs(5, [&] { wildcard.Pass(); }),
        "pass, file named", plain);
}

void AddressesOnOneLine(const QString& folder) {
    constexpr int kAddresses = 200000;
    QByteArray line = "from";
    for (int i = 0; i < kAddresses; ++i)
        line += " 10." + QByteArray::number(i >> 16) + '.' + QByteArray::number((i >> 8) & 255) + '.' +
                QByteArray::number(i & 255);
    const QString log = folder + QStringLiteral("/addresses.log");
    WriteOrExit(log, line + '\n');
    TReverseDNS cache([](const QString& address) { return QStringLiteral("h") + address; });
    PassRunner runner(log, line.size() + 1024, &cache);
    runner.Window().reverseDns = true;
    QElapsedTimer first;
    first.start();
    runner.Pass();
    const double firstMs = first.nsecsElapsed() / 1e6;
    // Until the worker has resolved every address (or a minute has passed).
    QElapsedTimer wait;
    wait.start();
    const auto resolved = [&] {
        const auto entries = cache.Entries();
        return std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e.second != "#"; });
    };
    while (resolved() < kAddresses && wait.elapsed() < 120000)
        QThread::msleep(50);
    const double known = MedianMs(3, [&] { runner.Pass(); });
    runner.Window().reverseDns = false;
    const double off = MedianMs(3, [&] { runner.Pass(); });
    Row("200,000 addresses on a line, first pass", firstMs, "pass, R. DNS off", off);
    Row("200,000 addresses on a line, names known", known, "pass, R. DNS off", off);
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
    WildcardOverManyFiles(data.path());
    AddressesOnOneLine(data.path());
    return 0;
}
