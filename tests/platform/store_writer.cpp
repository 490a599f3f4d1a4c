// Helper of the crash tests: saves a settings file over and over as the program does (load, set
// every value, save) and prints each finished round, so a test can run two at once or kill one.
//   store_writer reg|ini <file> <writer id> <rounds, 0 for until killed>
#include <cstdio>
#include <cstring>

#include "store_test_util.h"

namespace {

template <typename Store> bool SaveRound(const QString& path, store_test::Version v, QString* error) {
    Store store(path);
    if (!store.Load(error))
        return false;
    store_test::WriteVersion(store, v);
    return store.Save(error);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[1], "reg") != 0 && std::strcmp(argv[1], "ini") != 0)) {
        std::fprintf(stderr, "usage: store_writer reg|ini <file> <writer id> <rounds>\n");
        return 2;
    }
    const bool registry = std::strcmp(argv[1], "reg") == 0;
    const QString path = QString::fromLocal8Bit(argv[2]);
    const quint32 writer = QByteArray(argv[3]).toUInt();
    const quint32 rounds = QByteArray(argv[4]).toUInt();
    for (quint32 round = 0; rounds == 0 || round < rounds; ++round) {
        QString error;
        const store_test::Version v{writer, round};
        if (!(registry ? SaveRound<RegistryStore>(path, v, &error) : SaveRound<IniFile>(path, v, &error))) {
            std::fprintf(stderr, "round %u: %s\n", round, qPrintable(error));
            return 1;
        }
        std::printf("%u\n", round);
        std::fflush(stdout);
    }
    return 0;
}
