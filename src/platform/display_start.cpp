#include "platform/display_start.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage> heldMessages;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // Qt aborts once this returns: end first, without a core dump and without Qt's story.
        std::fputs((NoDisplayMessage() + '\n').c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages.push_back({type, context.file, context.function, context.category, context.line, text});
}

} // namespace

DisplayStartGuard::DisplayStartGuard() {
    heldMessages.clear();
    previousHandler = qInstallMessageHandler(HoldMessage);
}

DisplayStartGuard::~DisplayStartGuard() {
    Reached();
}

void DisplayStartGuard::Reached() {
    if (!active_)
        return;
    active_ = false;
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& held : heldMessages) {
        if (held.category == "qt.qpa.plugin")
            continue;
        const QMessageLogContext context(held.file.constData(), held.line, held.function.constData(),
                                         held.category.constData());
        previousHandler(held.type, context, held.text);
    }
    heldMessages.clear();
}

std::string NoDisplayMessage() {
    std::string set;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsSet(name))
            continue;
        set += set.empty() ? "" : ", ";
        set += std::string(name) + "=\"" + qgetenv(name).toStdString() + '"';
    }
    if (set.empty())
        set = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    return "kovra: cannot connect to the display (" + set + "); set DISPLAY or WAYLAND_DISPLAY";
}
