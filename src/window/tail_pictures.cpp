#include "window/tail_pictures.h"

#include "window/kovra_resources.h"

QIcon TailPicture(const QString& name) {
    EnsureKovraResources();
    return QIcon(QStringLiteral(":/kovra/") + name + QStringLiteral(".svg"));
}
