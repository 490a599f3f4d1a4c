#include "window/tail_print.h"

#include <stdexcept>

#include <QAbstractTextDocumentLayout>
#include <QPrinter>
#include <QTextDocument>

#include "platform/dialogs.h"
#include "util/date_time_text.h"

QString PrintoutHeader(const QString& shownFile, const QDateTime& now, bool selectionOffered) {
    return QStringLiteral("KOVRA printout (filename=") + shownFile + QStringLiteral(", date=") +
           LongDateLongTimeText(now) + QStringLiteral(", selection=") +
           (selectionOffered ? QStringLiteral("Oui") : QStringLiteral("Non")) + u')';
}

bool PrintView(DialogService& dialogs, const ViewPrintout& printout) {
    QPrinter printer(QPrinter::HighResolution);
    const bool selectionOffered = !printout.selection.isEmpty();
    bool selectionOnly = false;
    if (!dialogs.ChoosePrint(printer, selectionOffered, &selectionOnly))
        return false;
    QString body = selectionOnly ? printout.selection : printout.allLines;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextDocument document;
    document.setDefaultFont(printout.font);
    document.setPlainText(PrintoutHeader(printout.shownFile, printout.now, selectionOffered) +
                          QStringLiteral("\n\n\n") + body);
    printer.setDocName(QStringLiteral("KOVRA ") + printout.shownFile);
    // Laid out for the printer's pages beforehand, so the printout holds the lines and nothing else.
    document.documentLayout()->setPaintDevice(&printer);
    document.setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error)
        throw std::runtime_error("the printer reported an error");
    return true;
}
