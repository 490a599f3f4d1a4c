#include "widgets/kovra_resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE names a global function and must not be used inside a namespace.
static void InitKovraResources() {
    Q_INIT_RESOURCE(kovra_resources);
}

void EnsureKovraResources() {
    static const bool initialised = (InitKovraResources(), true);
    (void)initialised;
}

QIcon KovraPicture(const char* path) {
    EnsureKovraResources();
    return QIcon(QString::fromLatin1(path));
}
