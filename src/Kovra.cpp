// Program entry: the application, its one tail window, the message loop.
#include <QApplication>

#include "window/fTail.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kovra"));
    TFormTail window;
    window.show();
    return QApplication::exec();
}
