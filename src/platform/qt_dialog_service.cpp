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

// Qt's font chooser, embedded (it is a dialog of its own otherwise, and as a child it would never
// show), with a colour button under it when a text colour is chosen too: Qt's has none. The
// chooser shows the nearest installed font when the preset one is missing: what the user did not
// change is answered as preset, so the user's font never turns into that stand-in by itself.
class FontAndColorDialog final : public QDialog {
public:
    FontAndColorDialog(const QFont& font, const QColor* color, QWidget* parent)
        : QDialog(parent), preset_(font), color_(color ? *color : QColor()) {
        setWindowTitle(QStringLiteral("Font"));
        auto* layout = new QVBoxLayout(this);
        fonts_ = new QFontDialog(this);
        fonts_->setWindowFlags(Qt::Widget);
        fonts_->setSizeGripEnabled(false);
        fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        fonts_->setCurrentFont(font);
        shown_ = fonts_->currentFont();
        layout->addWidget(fonts_);
        if (color)
            AddColorButton(layout);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    // The preset font with what the user changed in the chooser.
    QFont Font() const {
        const QFont chosen = fonts_->currentFont();
        QFont font = preset_;
        if (chosen.family() != shown_.family())
            font.setFamily(chosen.family());
        if (chosen.pointSize() != shown_.pointSize() && chosen.pointSize() > 0)
            font.setPointSize(chosen.pointSize());
        if (chosen.weight() != shown_.weight())
            font.setWeight(chosen.weight());
        if (chosen.italic() != shown_.italic())
            font.setItalic(chosen.italic());
        if (chosen.underline() != shown_.underline())
            font.setUnderline(chosen.underline());
        if (chosen.strikeOut() != shown_.strikeOut())
            font.setStrikeOut(chosen.strikeOut());
        return font;
    }
    QColor Color() const { return color_; }

private:
    void AddColorButton(QVBoxLayout* layout) {
        colorButton_ = new QPushButton(QStringLiteral("Color..."), this);
        colorButton_->setObjectName(QStringLiteral("ButtonFontColor"));
        layout->addWidget(colorButton_);
        ShowColor();
        connect(colorButton_, &QPushButton::clicked, this, [this] {
            const QColor chosen = QColorDialog::getColor(color_, this);
            if (chosen.isValid()) {
                color_ = chosen;
                ShowColor();
            }
        });
    }
    void ShowColor() {
        QPixmap swatch(16, 16);
        swatch.fill(color_);
        colorButton_->setIcon(QIcon(swatch));
    }

    QFont preset_;
    QFont shown_; // the preset as the chooser shows it
    QFontDialog* fonts_ = nullptr;
    QPushButton* colorButton_ = nullptr;
    QColor color_;
};

} // namespace

bool QtDialogService::ChooseFont(QFont& font, QColor* color) {
    FontAndColorDialog dialog(font, color, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.Font();
    if (color)
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
