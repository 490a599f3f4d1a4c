// Saves a file list of its own many times: "settings_save_helper TAG ENTRIES ROUNDS". Each entry
// is "/writer TAG/log I.log" with the alias TAG. Exit code 0 when every save succeeded.
#include <cstdio>

#include <QCoreApplication>

#include "settings/uList.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: settings_save_helper TAG ENTRIES ROUNDS\n");
        return 2;
    }
    const QString tag = args[1];
    TTailFileList list;
    for (int i = 0; i < args[2].toInt(); ++i)
        list.AddFile(QStringLiteral("/writer %1/log %2.log").arg(tag).arg(i), tag);
    for (int round = 0; round < args[3].toInt(); ++round) {
        QString error;
        if (!list.SaveList(&error)) {
            std::fprintf(stderr, "save %d failed: %s\n", round, qPrintable(error));
            return 1;
        }
    }
    return 0;
}
