#include "platform/qt_dialog_service.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

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

bool QtDialogService::AskSecret(const QString& text, QString* secret) {
    QInputDialog box(parent_);
    box.setWindowTitle(QStringLiteral("Kovra"));
    box.setLabelText(text);
    box.setTextEchoMode(QLineEdit::Password);
    if (box.exec() != QDialog::Accepted)
        return false;
    *secret = box.textValue();
    return true;
}

QString QtDialogService::ChooseOpenFile(const QString& filter) {
    // "Name|*.a|Other|*.b" pairs become Qt's "Name (*.a);;Other (*.b)".
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        qtFilters += parts[i] + QStringLiteral(" (") +
                     QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    return QFileDialog::getOpenFileName(parent_, QString(), QString(), qtFilters.join(QStringLiteral(";;")));
}

namespace {

// Qt's font chooser has no text colour: a colour button under it offers the colour chooser.
class FontAndColorDialog final : public QDialog {
public:
    FontAndColorDialog(const QFont& font, const QColor& color, QWidget* parent)
        : QDialog(parent), color_(color) {
        setWindowTitle(QStringLiteral("Font"));
        auto* layout = new QVBoxLayout(this);
        fonts_ = new QFontDialog(font, this);
        fonts_->setOptions(QFontDialog::NoButtons);
        layout->addWidget(fonts_);
        colorButton_ = new QPushButton(QStringLiteral("Color..."), this);
        layout->addWidget(colorButton_);
        ShowColor();
        connect(colorButton_, &QPushButton::clicked, this, [this] {
            const QColor chosen = QColorDialog::getColor(color_, this);
            if (chosen.isValid()) {
                color_ = chosen;
                ShowColor();
            }
        });
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    QFont Font() const { return fonts_->currentFont(); }
    QColor Color() const { return color_; }

private:
    void ShowColor() {
        QPixmap swatch(16, 16);
        swatch.fill(color_);
        colorButton_->setIcon(QIcon(swatch));
    }

    QFontDialog* fonts_ = nullptr;
    QPushButton* colorButton_ = nullptr;
    QColor color_;
};

} // namespace

bool QtDialogService::ChooseFont(QFont& font, QColor* color) {
    if (!color) {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, parent_);
        if (ok)
            font = chosen;
        return ok;
    }
    FontAndColorDialog dialog(font, *color, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.Font();
    *color = dialog.Color();
    return true;
}

bool QtDialogService::ChooseColor(QColor& color) {
    const QColor chosen = QColorDialog::getColor(color, parent_);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}

bool QtDialogService::ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) {
    // Test hook for the real program under Xvfb, where nobody answers a dialog.
    const QString pdf = qEnvironmentVariable("KOVRA_PRINT_TO_PDF");
    if (!pdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        if (selectionOnly)
            *selectionOnly = selectionOffered;
        return true;
    }
    QPrintDialog dialog(&printer, parent_);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selectionOffered);
    dialog.setPrintRange(selectionOffered ? QAbstractPrintDialog::Selection : QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (selectionOnly)
        *selectionOnly = selectionOffered && dialog.printRange() == QAbstractPrintDialog::Selection;
    return true;
}
