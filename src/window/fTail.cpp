#include "window/fTail.h"

#include "kovra_version.h"

TFormTail::TFormTail(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("KOVRA - " KOVRA_VERSION_STRING));
    resize(630, 410);
}
