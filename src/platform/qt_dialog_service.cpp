#include "platform/qt_dialog_service.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace {

QMessageBox::Icon ToQt(DialogService::Icon icon) {
    switch (icon) {
    case DialogService::Icon::Information:
        return QMessageBox::Information;
    case DialogService::Icon::Warning:
        return QMessageBox::Warning;
    case DialogService::Icon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtDialogService::ShowMessage(Icon icon, const QString& text) {
    QMessageBox box(ToQt(icon), QStringLiteral("Kovra"), text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtDialogService::AskYesNo(Icon icon, const QString& text) {
    QMessageBox box(ToQt(icon), QStringLiteral("Kovra"), text, QMessageBox::Yes | QMessageBox::No, parent_);
    // Yes is the first button and, as in a Windows Yes/No box, the default one.
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogService::ChooseOpenFile(const QString& filter) {
    // "Name|*.a|Other|*.b" pairs become Qt's "Name (*.a);;Other (*.b)".
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        qtFilters += parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                     QLatin1Char(')');
    return QFileDialog::getOpenFileName(parent_, QString(), QString(), qtFilters.join(QStringLiteral(";;")));
}
