// The four tabs of the parameters dialog and their controls, with the captions the users know.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "manage/fTailAbout.h"
#include "manage/fTailParam_widgets.h"
#include "manage/highlight_rules_editor.h"
#include "manage/param_color_box.h"
#include "widgets/kovra_resources.h"

namespace {

const QStringList kThreadPriorityNames = {
    QStringLiteral("priority Idle"),         QStringLiteral("priority Lowest"),
    QStringLiteral("priority Lower"),        QStringLiteral("priority Normal"),
    QStringLiteral("priority Higher"),       QStringLiteral("Highest"),
    QStringLiteral("priority Time Critical")};
const QStringList kFilterContextNames = {QStringLiteral("show lines before"),
                                         QStringLiteral("show lines after"),
                                         QStringLiteral("show lines before and after")};

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kGreen(0x00, 0x80, 0x00);

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QComboBox* PickList(QWidget* parent, const char* name, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    return combo;
}

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QSpinBox* Spin(QWidget* parent, const char* name, int minimum, int maximum) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(minimum, maximum);
    return spin;
}

QToolButton* SmallButton(QWidget* parent, const char* name, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    return button;
}

// A panel marked for the tagged-panel tint, topped by a coloured header.
QFrame* TaggedPanel(QWidget* parent, const char* name, const QString& header, const QColor& headerColor) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setProperty("tag", 1);
    auto* title = new QLabel(header, panel);
    QPalette palette = title->palette();
    palette.setColor(QPalette::Window, headerColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(palette);
    title->setAutoFillBackground(true);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(title);
    return panel;
}

// The start and end of the longest run of blanks in text.
std::pair<qsizetype, qsizetype> LongestBlankRun(const QString& text) {
    qsizetype first = 0, last = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype end = i;
        while (end < text.size() && text.at(end) == u' ')
            ++end;
        if (end - i > last - first) {
            first = i;
            last = end;
        }
        i = qMax(i, end);
    }
    return {first, last};
}

// A caption whose text leaves a run of blanks for a box laid over it ("and only after ___ seconds").
class GapCaption final : public QWidget {
public:
    GapCaption(QWidget* caption, QWidget* box, QWidget* parent)
        : QWidget(parent), caption_(caption), box_(box) {
        caption_->setParent(this);
        box_->setParent(this);
    }

    QSize sizeHint() const override {
        const QSize text = caption_->sizeHint();
        return {text.width(), qMax(text.height(), box_->sizeHint().height())};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override {
        const QSize text = caption_->sizeHint();
        caption_->setGeometry(0, (height() - text.height()) / 2, text.width(), text.height());
        const QString caption = Text();
        const auto [first, last] = LongestBlankRun(caption);
        const QFontMetrics metrics(caption_->font());
        const int left = TextLeft() + metrics.horizontalAdvance(caption.left(first + 1));
        const int right = TextLeft() + metrics.horizontalAdvance(caption.left(last - 1));
        const int boxHeight = box_->sizeHint().height();
        box_->setGeometry(left, (height() - boxHeight) / 2, qMax(right - left, 24), boxHeight);
    }

private:
    QString Text() const {
        if (const auto* box = qobject_cast<QCheckBox*>(caption_))
            return box->text();
        return static_cast<QLabel*>(caption_)->text();
    }
    // Where the caption's text starts: after the check mark of a check box.
    int TextLeft() const {
        const auto* box = qobject_cast<QCheckBox*>(caption_);
        if (!box)
            return caption_->contentsRect().left();
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).left();
    }

    QWidget* caption_;
    QWidget* box_;
};

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* widget : widgets)
        row->addWidget(widget);
    row->addStretch(1);
    return row;
}

void AddBehaviourBoxes(TailParamWidgets& w, QWidget* tab, QVBoxLayout* column) {
    w.CheckBoxUseTHREAD =
        Check(tab, "CheckBoxUseTHREAD", QStringLiteral("Use a separate THREAD to tail the file :"));
    w.ComboBoxThreadPriority = PickList(tab, "ComboBoxThreadPriority", kThreadPriorityNames);
    column->addLayout(Row({w.CheckBoxUseTHREAD, w.ComboBoxThreadPriority}));
    w.CheckBoxAlwaysOnTop =
        Check(tab, "CheckBoxAlwaysOnTop", QStringLiteral("Application is started \"Always on top\""));
    w.CheckBoxMinimizeToTray =
        Check(tab, "CheckBoxMinimizeToTray", QStringLiteral("If minimized, do it to traybar"));
    w.CheckBoxRemovePathonTaskbar =
        Check(tab, "CheckBoxRemovePathonTaskbar", QStringLiteral("Remove path on taskbar button"));
    w.CheckBoxShowRemLineInfo = Check(tab, "CheckBoxShowRemLineInfo",
                                      QStringLiteral("Show removed lines info when filtering is active"));
    for (QWidget* box : {w.CheckBoxAlwaysOnTop, w.CheckBoxMinimizeToTray, w.CheckBoxRemovePathonTaskbar,
                         w.CheckBoxShowRemLineInfo})
        column->addWidget(box);
    w.ComboBoxFilterBA = PickList(tab, "ComboBoxFilterBA", kFilterContextNames);
    column->addLayout(
        Row({new QLabel(QStringLiteral("Display lines near a filtered line (using spinbox) :"), tab),
             w.ComboBoxFilterBA}));
    w.CheckBoxAlwaysScroll = Check(tab, "CheckBoxAlwaysScroll",
                                   QStringLiteral("ALWAYS scroll to end of file when new lines appear"));
    w.CheckBoxExpandTreeview = Check(tab, "CheckBoxExpandTreeview", QStringLiteral("Auto-expand treeview"));
    column->addWidget(w.CheckBoxAlwaysScroll);
    column->addWidget(w.CheckBoxExpandTreeview);
}

void AddSmtpPanel(TailParamWidgets& w, QWidget* tab, QVBoxLayout* column) {
    w.PanelSMTP = TaggedPanel(tab, "PanelSMTP", QStringLiteral("  SMTP Settings"), kNavy);
    w.Edit_SMTPServer = Field(w.PanelSMTP, "Edit_SMTPServer");
    w.Edit_SMTPLogin = Field(w.PanelSMTP, "Edit_SMTPLogin");
    w.Edit_SMTPPassword = Field(w.PanelSMTP, "Edit_SMTPPassword");
    w.Edit_SMTPPassword->setEchoMode(QLineEdit::Password);
    w.Edit_SMTPPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    w.Edit_SMTPFrom = Field(w.PanelSMTP, "Edit_SMTPFrom");
    const std::pair<const char*, QLineEdit*> rows[] = {{"SMTP Server :", w.Edit_SMTPServer},
                                                       {"Login :", w.Edit_SMTPLogin},
                                                       {"Password :", w.Edit_SMTPPassword},
                                                       {"From :", w.Edit_SMTPFrom}};
    auto* form = new QGridLayout;
    form->setContentsMargins(8, 2, 8, 0);
    int row = 0;
    for (const auto& [caption, edit] : rows) {
        form->addWidget(new QLabel(QString::fromLatin1(caption), w.PanelSMTP), row, 0);
        form->addWidget(edit, row++, 1);
    }
    static_cast<QVBoxLayout*>(w.PanelSMTP->layout())->addLayout(form);
    column->addWidget(w.PanelSMTP);
}

void AddSendToBoxes(TailParamWidgets& w, QWidget* tab, QVBoxLayout* column) {
    w.CheckBox_ShellSendTo =
        Check(tab, "CheckBox_ShellSendTo", QStringLiteral("Add KOVRA to Shell \"Send to\" menu"));
    w.CheckBox_ShellAddStart = Check(tab, "CheckBox_ShellAddStart", QStringLiteral("Add /start to command"));
    w.CheckBox_ShellAddStart->setToolTip(
        QStringLiteral("Use this option to start tailing when using SendTo... Check before Adding !"));
    column->addLayout(Row({w.CheckBox_ShellSendTo, w.CheckBox_ShellAddStart}));
    w.LabelPathShortCut = new QLabel(tab);
    w.LabelPathShortCut->setObjectName(QStringLiteral("LabelPathShortCut"));
    w.LabelPathShortCut->setMinimumWidth(100);
    w.LabelPathShortCut->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(w.LabelPathShortCut);
}

QWidget* BuildGeneralTab(TailParamWidgets& w) {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    AddBehaviourBoxes(w, tab, column);
    AddSmtpPanel(w, tab, column);
    AddSendToBoxes(w, tab, column);
    column->addStretch(1);
    return tab;
}

// "Alert sound file :" with its field and browse button.
QHBoxLayout* SoundFileRow(QWidget* parent, const char* fieldName, const char* buttonName, QLineEdit*& field,
                          QToolButton*& button) {
    field = Field(parent, fieldName);
    button = SmallButton(parent, buttonName, QStringLiteral("Browse"));
    button->setIcon(KovraPicture(kImageBrowse));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Alert sound file :"), parent));
    row->addWidget(field, 1);
    row->addWidget(button);
    return row;
}

void BuildStandardAlerts(TailParamWidgets& w, QWidget* tab) {
    QFrame* panel = w.PanelStandardAlerts =
        TaggedPanel(tab, "PanelStandardAlerts", QStringLiteral("  STANDARD Alerts"), kGreen);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 2, 8, 0);
    w.CheckBoxPlayAlertSound =
        Check(panel, "CheckBoxPlayAlertSound", QStringLiteral("Play sound when STANDARD Alert occurs :"));
    body->addWidget(w.CheckBoxPlayAlertSound);
    body->addLayout(SoundFileRow(panel, "EditAlertSoundFile", "SpeedButtonBrowseAlertSound",
                                 w.EditAlertSoundFile, w.SpeedButtonBrowseAlertSound));
    w.CheckBoxAlertBTF =
        Check(panel, "CheckBoxAlertBTF", QStringLiteral("Bring Kovra to front when STANDARD Alert occurs"));
    w.CheckBoxSendAlertEMAIL =
        Check(panel, "CheckBoxSendAlertEMAIL", QStringLiteral("Send an eMail when STANDARD Alert occurs :"));
    body->addWidget(w.CheckBoxAlertBTF);
    body->addWidget(w.CheckBoxSendAlertEMAIL);
    w.EditAlerteMAIL = Field(panel, "EditAlerteMAIL");
    w.SpeedButtonTestMail = SmallButton(panel, "SpeedButtonTestMail", QStringLiteral("Test the eMAIL"));
    w.SpeedButtonTestMail->setText(QStringLiteral("Test"));
    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(new QLabel(QStringLiteral("Alert eMAIL :"), panel));
    mailRow->addWidget(w.EditAlerteMAIL, 1);
    mailRow->addWidget(w.SpeedButtonTestMail);
    body->addLayout(mailRow);
    w.CheckBoxNotifyAlert = Check(panel, "CheckBoxNotifyAlert",
                                  QStringLiteral("Show a desktop notification when STANDARD Alert occurs"));
    body->addWidget(w.CheckBoxNotifyAlert);
    static_cast<QVBoxLayout*>(panel->layout())->addLayout(body);
}

void BuildFileChangeAlerts(TailParamWidgets& w, QWidget* tab) {
    QFrame* panel = w.PanelFileChangeAlerts =
        TaggedPanel(tab, "PanelFileChangeAlerts", QStringLiteral("  FILECHANGE Alerts"), kGreen);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 2, 8, 0);
    w.CheckBoxFileChangeBTF = Check(panel, "CheckBoxFileChangeBTF",
                                    QStringLiteral("Bring Kovra to front when FILE CHANGE Alert occurs"));
    w.CheckBoxPlayFileChangeSound = Check(panel, "CheckBoxPlayFileChangeSound",
                                          QStringLiteral("Play sound when FILE CHANGE Alert occurs :"));
    body->addWidget(w.CheckBoxFileChangeBTF);
    body->addWidget(w.CheckBoxPlayFileChangeSound);
    w.CheckBoxPlayFileChangeSoundOnlyIfSince =
        Check(panel, "CheckBoxPlayFileChangeSoundOnlyIfSince",
              QStringLiteral("and only after                    seconds of inactivity"));
    w.RzSpinEditSince = Spin(panel, "RzSpinEditSince", 1, 999);
    auto* since = new GapCaption(w.CheckBoxPlayFileChangeSoundOnlyIfSince, w.RzSpinEditSince, panel);
    w.CheckBoxPlayFileChangeSoundOnlyIfMinimized = Check(panel, "CheckBoxPlayFileChangeSoundOnlyIfMinimized",
                                                         QStringLiteral("and only if Kovra is minimized"));
    // The two conditions belong to the sound box above them.
    for (QWidget* condition : {static_cast<QWidget*>(since),
                               static_cast<QWidget*>(w.CheckBoxPlayFileChangeSoundOnlyIfMinimized)}) {
        auto* indented = new QHBoxLayout;
        indented->addSpacing(20);
        indented->addWidget(condition);
        indented->addStretch(1);
        body->addLayout(indented);
    }
    body->addLayout(SoundFileRow(panel, "EditFileChangeSoundFile", "SpeedButtonBrowseFileChangeSound",
                                 w.EditFileChangeSoundFile, w.SpeedButtonBrowseFileChangeSound));
    w.CheckBoxNotifyFileChange =
        Check(panel, "CheckBoxNotifyFileChange",
              QStringLiteral("Show a desktop notification when FILE CHANGE Alert occurs"));
    body->addWidget(w.CheckBoxNotifyFileChange);
    static_cast<QVBoxLayout*>(panel->layout())->addLayout(body);
}

QWidget* BuildAlertsTab(TailParamWidgets& w) {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    BuildStandardAlerts(w, tab);
    BuildFileChangeAlerts(w, tab);
    column->addWidget(w.PanelStandardAlerts);
    column->addWidget(w.PanelFileChangeAlerts);
    column->addStretch(1);
    return tab;
}

TColorBox* ColorBox(QWidget* parent, DialogService& dialogs, const char* name) {
    auto* box = new TColorBox(dialogs, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// The colour rows: caption, day box, night box (the first three night boxes are hidden).
void BuildColorGrid(TailParamWidgets& w, QWidget* tab, DialogService& dialogs, QGridLayout* grid) {
    w.RzSpinEdit_Day = Spin(tab, "RzSpinEdit_Day", 0, 11);
    w.RzSpinEdit_Night = Spin(tab, "RzSpinEdit_Night", 12, 24);
    grid->addWidget(new GapCaption(new QLabel(QStringLiteral("Day   (starts at                   h00)")),
                                   w.RzSpinEdit_Day, tab),
                    0, 1);
    grid->addWidget(new GapCaption(new QLabel(QStringLiteral("Night (starts at                   h00)")),
                                   w.RzSpinEdit_Night, tab),
                    0, 2);
    struct ColorRow {
        const char* caption;
        const char* dayName;
        const char* nightName;
        TColorBox** day;
        TColorBox** night;
        bool nightShown;
    };
    const ColorRow rows[] = {
        {"Tailing Color :", "RzColorEdit_TailingDay", "RzColorEdit_TailingNight", &w.RzColorEdit_TailingDay,
         &w.RzColorEdit_TailingNight, false},
        {"Filter Color :", "RzColorEdit_FilterDay", "RzColorEdit_FilterNight", &w.RzColorEdit_FilterDay,
         &w.RzColorEdit_FilterNight, false},
        {"Stopped Color :", "RzColorEdit_StopDay", "RzColorEdit_StopNight", &w.RzColorEdit_StopDay,
         &w.RzColorEdit_StopNight, false},
        {"GUI Color :", "RzColorEdit_GUIDay", "RzColorEdit_GUINight", &w.RzColorEdit_GUIDay,
         &w.RzColorEdit_GUINight, true},
        {"GUI Font Color :", "RzColorEdit_GUIFontDay", "RzColorEdit_GUIFontNight", &w.RzColorEdit_GUIFontDay,
         &w.RzColorEdit_GUIFontNight, true},
    };
    int row = 1;
    for (const ColorRow& r : rows) {
        *r.day = ColorBox(tab, dialogs, r.dayName);
        *r.night = ColorBox(tab, dialogs, r.nightName);
        (*r.night)->setVisible(r.nightShown);
        // The hidden boxes keep their place so the rows stay where they are.
        QSizePolicy keep = (*r.night)->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        (*r.night)->setSizePolicy(keep);
        grid->addWidget(new QLabel(QString::fromLatin1(r.caption), tab), row, 0);
        grid->addWidget(*r.day, row, 1);
        grid->addWidget(*r.night, row++, 2);
    }
}

QWidget* BuildColorsTab(TailParamWidgets& w, DialogService& dialogs) {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    w.CheckBoxUseAlphaBlend =
        Check(tab, "CheckBoxUseAlphaBlend", QStringLiteral("Use alpha blend (>Windows 2000 only) :"));
    w.RzSpinEditAlphaBlendValue = Spin(tab, "RzSpinEditAlphaBlendValue", 50, 255);
    column->addLayout(Row({w.CheckBoxUseAlphaBlend, w.RzSpinEditAlphaBlendValue}));
    auto* grid = new QGridLayout;
    BuildColorGrid(w, tab, dialogs, grid);
    column->addLayout(grid);
    w.CheckBoxSwitchDayColor = Check(tab, "CheckBoxSwitchDayColor",
                                     QStringLiteral("Switch tail font color and tail back color at night"));
    column->addWidget(w.CheckBoxSwitchDayColor);
    w.RzBitBtnFont = new QPushButton(QStringLiteral("Manager treeview font"), tab);
    w.RzBitBtnFont->setObjectName(QStringLiteral("RzBitBtnFont"));
    w.LabelFontName = new QLabel(tab);
    w.LabelFontName->setObjectName(QStringLiteral("LabelFontName"));
    column->addLayout(Row({w.RzBitBtnFont, w.LabelFontName}));
    w.CheckBoxColorByLevel = Check(tab, "CheckBoxColorByLevel", QStringLiteral("Color lines by level"));
    column->addWidget(w.CheckBoxColorByLevel);
    w.HighlightRules = new HighlightRulesEditor(dialogs, tab);
    column->addWidget(w.HighlightRules);
    column->addStretch(1);
    column->addWidget(
        new QLabel(QStringLiteral("* \"Colors\" feature only avalaible on 16bits or more display."), tab));
    return tab;
}

QWidget* BuildInfoTab(TailParamWidgets& w) {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    w.ImageProgram = new QLabel(tab);
    w.ImageProgram->setObjectName(QStringLiteral("ImageProgram"));
    w.ImageProgram->setPixmap(KovraPicture(kImageProgram).pixmap(48, 48));
    w.ImageProgram->setFixedSize(48, 48);
    auto* product = new QLabel(QStringLiteral("KOVRA"), tab);
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    product->setFont(bold);
    column->addLayout(Row({w.ImageProgram, product}));
    column->addWidget(new QLabel(QStringLiteral("KOVRA Command line at launch :"), tab));
    w.MemoCommandLine = new QPlainTextEdit(tab);
    w.MemoCommandLine->setObjectName(QStringLiteral("MemoCommandLine"));
    w.MemoCommandLine->setReadOnly(true);
    w.MemoCommandLine->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    w.MemoCommandLine->setFrameShape(QFrame::NoFrame);
    w.MemoCommandLine->viewport()->setAutoFillBackground(false); // reads as text of the tab
    // Takes the room the tab has: a long command line is read whole, scrolling only past that.
    column->addWidget(w.MemoCommandLine, 1);
    w.LabelCommandLineId = new QLabel(tab);
    w.LabelCommandLineId->setObjectName(QStringLiteral("LabelCommandLineId"));
    w.LabelCommandLineId->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addLayout(
        Row({new QLabel(QStringLiteral("KOVRA Command line ID :"), tab), w.LabelCommandLineId}));
    w.PanelInfo = new QFrame(tab);
    w.PanelInfo->setObjectName(QStringLiteral("PanelInfo"));
    w.PanelInfo->setFrameShape(QFrame::StyledPanel);
    w.PanelInfo->setProperty("tag", 1);
    w.LabelEngine = new QLabel(TFormAbout::EngineLineText(), w.PanelInfo);
    w.LabelVersion = new QLabel(TFormAbout::VersionLineText(), w.PanelInfo);
    auto* lines = new QVBoxLayout(w.PanelInfo);
    lines->addWidget(w.LabelEngine);
    lines->addWidget(w.LabelVersion);
    column->addWidget(w.PanelInfo);
    return tab;
}

} // namespace

TailParamWidgets BuildTailParamWidgets(QDialog& dialog, DialogService& dialogs) {
    TailParamWidgets w;
    w.PageControl = new QTabWidget(&dialog);
    w.PageControl->setObjectName(QStringLiteral("PageControl"));
    w.PageControl->addTab(BuildGeneralTab(w), QStringLiteral("General"));
    w.PageControl->addTab(BuildAlertsTab(w), QStringLiteral("Alerts"));
    w.PageControl->addTab(BuildColorsTab(w, dialogs), QStringLiteral("Colors"));
    w.PageControl->addTab(BuildInfoTab(w), QStringLiteral("About and infos"));
    w.ButtonOK = new QPushButton(QStringLiteral("OK"), &dialog);
    w.ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    w.ButtonOK->setDefault(true);
    w.ButtonCancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    w.ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(w.ButtonOK);
    buttons->addStretch(1);
    buttons->addWidget(w.ButtonCancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(w.PageControl);
    layout->addLayout(buttons);
    return w;
}
