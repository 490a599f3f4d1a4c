#include "platform/dialog_gate.h"

#include <cstdio>

void WriteToStandardError(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "kovra: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void DialogGate::ShowMessage(Icon icon, const QString& text) {
    if (unattended_ || echo_)
        WriteToStandardError(text);
    if (!unattended_)
        inner_.ShowMessage(icon, text);
}

bool DialogGate::AskYesNo(Icon icon, const QString& text) {
    if (!unattended_)
        return inner_.AskYesNo(icon, text);
    WriteToStandardError(text + QStringLiteral(" - nobody to answer: No"));
    return false;
}

bool DialogGate::AskSecret(const QString& text, QString* secret) {
    if (!unattended_)
        return inner_.AskSecret(text, secret);
    WriteToStandardError(text + QStringLiteral(" - nobody to answer"));
    return false;
}

QString DialogGate::ChooseOpenFile(const QString& filter) {
    return unattended_ ? QString() : inner_.ChooseOpenFile(filter);
}

bool DialogGate::ChooseFont(QFont& font, QColor* color) {
    return !unattended_ && inner_.ChooseFont(font, color);
}

bool DialogGate::ChooseColor(QColor& color) {
    return !unattended_ && inner_.ChooseColor(color);
}

bool DialogGate::ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) {
    return !unattended_ && inner_.ChoosePrint(printer, selectionOffered, selectionOnly);
}
