#pragma once
// Printing the view: the print dialog through the dialog interface, then a hidden document in the
// view's font holding the line "KOVRA printout (filename=..., date=..., selection=Oui|Non)", two
// empty lines, and the selection or every line of the view. Window thread only.
#include <QDateTime>
#include <QFont>
#include <QString>

class DialogService;

struct ViewPrintout {
    QString shownFile; // LabelFn
    QString selection; // the view's selected text; empty: none, the range is not offered
    QString allLines;  // the view's whole text
    QFont font;        // the view's font
    QDateTime now;
};

// The first line of the printout; date and time in the locale's long formats.
QString PrintoutHeader(const QString& shownFile, const QDateTime& now, bool selectionOffered);

// False when the dialog was cancelled. Throws std::runtime_error when the printer fails.
bool PrintView(DialogService& dialogs, const ViewPrintout& printout);
