#include "window/tail_widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "widgets/kovra_resources.h"
#include "window/tail_controls.h"

namespace {

constexpr int kTopPanelHeight = 83;
constexpr int kRightColumnWidth = 106;
constexpr int kOptionPanelWidth = 322;
constexpr int kStatusBarHeight = 22;
constexpr int kRowFile = 4;
constexpr int kRowFilter = 31;
constexpr int kRowAlert = 57;
constexpr int kRowHeight = 22;

QToolButton* SmallButton(QWidget* parent, const char* picture, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setIcon(KovraPicture(picture));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QSpinBox* Spin(QWidget* parent, int minimum, int maximum, int step, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    spin->setValue(value);
    return spin;
}

QCheckBox* Check(QWidget* parent, const QString& caption, const QString& hint = {}) {
    auto* box = new QCheckBox(caption, parent);
    if (!hint.isEmpty())
        box->setToolTip(hint);
    return box;
}

QComboBox* PatternCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // The history model keeps its own sorted order; typing never adds items by itself.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(20);
    return combo;
}

void BuildFileRow(TailWidgets& w) {
    QWidget* top = w.RzPanel1;
    w.Label1 = new ClickableLabel(QStringLiteral("File :"), top);
    w.SpeedButtonBrowse = SmallButton(top, kImageBrowse, QStringLiteral("Browse"));
    w.SpeedButtonAddManager = SmallButton(top, kImageAddManager, QStringLiteral("Add to File Manager"));
    w.EditComboBox = new QLineEdit(top);
    w.RzPanelEditFN = new FileNamePanel(top);
    w.RzPanelEditFN->hide();
    w.RzBitBtnOpenTree = new QPushButton(KovraPicture(kImageTree), QStringLiteral("Down"), top);
    w.RzBitBtnOpenTree->setToolTip(QStringLiteral("Open the file manager tree"));
}

void BuildPatternRows(TailWidgets& w) {
    QWidget* top = w.RzPanel1;
    w.CheckBoxFilter = Check(top, QString(), QStringLiteral("Enable line filtering"));
    w.RzLabelFilter = new ClickableLabel(QStringLiteral("Filter:"), top);
    w.RzLabelFilter->setToolTip(QStringLiteral("Invert filter"));
    w.RzLabelFilter->setAutoFillBackground(true);
    w.RzComboBoxFilter = PatternCombo(top);
    w.RzSpinEditFilterHistory = Spin(top, 0, 99, 1, 0);
    w.RzSpinEditFilterHistory->setToolTip(QStringLiteral("Nb of lines displayed before a filtered line"));

    w.ImageAlarm = new QLabel(top);
    w.ImageAlarm->setPixmap(KovraPicture(kImageAlarm).pixmap(16, 16));
    w.ImageAlarm->hide();
    w.CheckBoxAlert =
        Check(top, QString(), QStringLiteral("Enable text alert (if blank, alert is done when file change)"));
    w.RzLabelAlert = new ClickableLabel(QStringLiteral("Alert:"), top);
    w.RzLabelAlert->setToolTip(QStringLiteral("Invert alert"));
    w.RzLabelAlert->setAutoFillBackground(true);
    w.RzComboBoxAlarm = PatternCombo(top);
}

void BuildOptionPanel(TailWidgets& w) {
    auto* panel = new QFrame(w.RzPanel1);
    w.PanelCB = panel;
    w.LabelBufKo = new QLabel(QStringLiteral("Read buf (ko):"), panel);
    w.RzSpinEditBufKo = Spin(panel, 0, 500000, 5, 50);
    w.CheckBoxAutoOffset = Check(panel, QStringLiteral("Auto Offset:"),
                                 QStringLiteral("Offset back when the file ends with blank lines"));
    w.CheckBoxAutoOffset->setLayoutDirection(Qt::RightToLeft);
    w.RzSpinEditOffset = Spin(panel, 0, 999999, 1024, 0);
    w.CheckBoxReverseDNS = Check(panel, QStringLiteral("R. DNS"), QStringLiteral("Reverse DNS IP address "));
    w.CheckBoxCompactSpace =
        Check(panel, QStringLiteral("Kill space"), QStringLiteral("Remove extra space in each line"));
    w.CheckBoxWrap = Check(panel, QStringLiteral("Wrap"));
    w.CheckBoxTabs = Check(panel, QString(), QStringLiteral("Check to expand TABS"));
    w.RzSpinEditTab = Spin(panel, 5, 200, 1, 75);
    panel->hide();
}

void BuildRightColumn(TailWidgets& w, QWidget* central) {
    w.RzBitBtnStart = new QPushButton(KovraPicture(kImageStart), QStringLiteral("Start"), central);
    QFont bold = w.RzBitBtnStart->font();
    bold.setBold(true);
    w.RzBitBtnStart->setFont(bold);
    w.RzBitBtnStop = new QPushButton(KovraPicture(kImageStop), QStringLiteral("Stop"), central);
    w.RzBitBtnStop->hide();
    w.CheckBox_Top = Check(central, QStringLiteral("Always on top"));
    w.SpeedButtonNotePad =
        SmallButton(central, kImageNotepad, QStringLiteral("Open file in NotePad / Shell"));
    w.SpeedButtonPrint = SmallButton(central, kImagePrint, QStringLiteral("Print current text"));
    w.SpeedButtonManager = SmallButton(central, kImageManager, QStringLiteral("Open KOVRA File manager"));
    w.SpeedButtonControlPanel =
        SmallButton(central, kImageParameters, QStringLiteral("Configure KOVRA parameters"));
}

void BuildViewArea(TailWidgets& w, QWidget* central) {
    w.RzPanel2 = new QFrame(central);
    w.RzPanel2->setAutoFillBackground(true);
    w.LabelFn =
        new ClickableLabel(QStringLiteral("Please choose a file to tail and press Start !"), w.RzPanel2);
    QFont bold = w.LabelFn->font();
    bold.setBold(true);
    w.LabelFn->setFont(bold);
    w.LabelFn->setAutoFillBackground(true);
    w.SpeedButtonClear = SmallButton(w.RzPanel2, kImageClear,
                                     QStringLiteral("Left click : Clear the window \r"
                                                    "Ctrl+Left click : Clear the file \r"
                                                    "Shit+Left click : Delete the file\r"
                                                    "Right click : restore full view"));
    w.MemoTail = new QPlainTextEdit(w.RzPanel2);
    w.MemoTail->setReadOnly(true);
    w.MemoTail->setLineWrapMode(QPlainTextEdit::NoWrap);
    w.MemoTail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    w.MemoTail->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    w.MemoTail->setContextMenuPolicy(Qt::CustomContextMenu);
    w.MemoTail->setFont(QFont(QStringLiteral("Courier New"), 8));
    w.ImageIndicator = new QLabel(w.RzPanel2);
    w.ImageIndicator->setFixedSize(16, 16);
    w.ImageIndicator->setPixmap(KovraPicture(kImageBottom).pixmap(16, 16));
}

void BuildStatusBar(TailWidgets& w, QWidget* central) {
    w.RzStatusBar1 = new QFrame(central);
    w.RzStatusBar1->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(w.RzStatusBar1);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    auto pane = [&](const QString& hint) {
        auto* p = new StatusPane(w.RzStatusBar1);
        p->setToolTip(hint);
        layout->addWidget(p);
        return p;
    };
    w.RzStatusPanesSTATE = pane(QStringLiteral("Click to reset Refresh rate"));
    w.RzStatusPanesSTATE->setFixedWidth(105);
    w.RzStatusPaneTime =
        pane(QStringLiteral("Display the time (sec and milisec) needed to read/analyze/display the file"));
    w.RzStatusPaneFile = pane(QString());
    w.RzStatusPaneINFO = pane(QString());
    w.RzStatusPaneRDNS =
        pane(QStringLiteral("Status of the Reverse DNS thread. Click to refresh unknown address."));
    for (StatusPane* p : {w.RzStatusPaneTime, w.RzStatusPaneFile, w.RzStatusPaneINFO})
        p->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    QPalette navy = w.RzStatusPaneFile->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    w.RzStatusPaneFile->setPalette(navy);
    w.RzStatusPaneRDNS->setPalette(navy);
    layout->setStretchFactor(w.RzStatusPaneRDNS, 1);
    w.RzStatusPaneRDNS->hide();
    layout->addStretch(0);
}

void BuildMenus(TailWidgets& w, QWidget* parent) {
    w.PopupMenuTAILMemo = new QMenu(parent);
    w.ItemCompactLine = w.PopupMenuTAILMemo->addAction(QStringLiteral("Kill line"));
    w.ItemCompactLine->setCheckable(true);
    w.ItemCompactLine->setToolTip(QStringLiteral("Remove blank line"));
    w.PopupMenuTAILMemo->addSeparator();
    w.TraceRT1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Trace Route"));
    w.Ping1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Ping"));
    w.OpenURL1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Open URL"));
    w.Sendamail1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Send a mail"));
    w.PopupMenuTAILMemo->addSeparator();
    w.Addtofilter1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Add to filter"));
    w.Addtoalert1 = w.PopupMenuTAILMemo->addAction(QStringLiteral("Add to alert"));

    w.PopupMenuAction = new QMenu(parent);
    w.ActionOpenwithNotePad = w.PopupMenuAction->addAction(QStringLiteral("Open with NotePad"));
    w.ActionOpenwithShell = w.PopupMenuAction->addAction(QStringLiteral("Open with the Shell"));
    w.PopupMenuAction->addSeparator();
    w.ActionOpenwithUser = w.PopupMenuAction->addAction(QStringLiteral("User CMD not defined"));
}

} // namespace

TailWidgets BuildTailWidgets(QMainWindow* window) {
    TailWidgets w;
    auto* central = new QWidget(window);
    window->setCentralWidget(central);
    w.RzPanel1 = new QFrame(central);
    w.RzPanel1->setProperty("tag", 1);
    w.RzPanel1->setAutoFillBackground(true);
    w.RzPanel1->setFrameShape(QFrame::StyledPanel);
    BuildFileRow(w);
    BuildPatternRows(w);
    BuildOptionPanel(w);
    // The running file-name row reaches into the option panel's empty top left corner: it must
    // stay above the panel, created after it, to be seen and clicked.
    for (QWidget* row : std::initializer_list<QWidget*>{w.EditComboBox, w.RzPanelEditFN, w.RzBitBtnOpenTree})
        row->raise();
    BuildRightColumn(w, central);
    BuildViewArea(w, central);
    BuildStatusBar(w, central);
    BuildMenus(w, window);
    return w;
}

namespace {

void PlaceTopPanel(const TailWidgets& w, int topWidth, bool running) {
    w.RzPanel1->setGeometry(0, 0, topWidth, kTopPanelHeight);
    const int optionLeft = topWidth - kOptionPanelWidth - 2;
    w.PanelCB->setGeometry(optionLeft, 2, kOptionPanelWidth, kTopPanelHeight - 4);

    w.Label1->setGeometry(4, kRowFile, 30, kRowHeight);
    w.SpeedButtonBrowse->setGeometry(36, kRowFile, 22, kRowHeight);
    w.SpeedButtonAddManager->setGeometry(60, kRowFile, 22, kRowHeight);
    const int treeOffset = running ? kTreeButtonOffsetRunning : kTreeButtonOffsetStopped;
    const int editLeft = 84;
    const int editRight = optionLeft + treeOffset + 1;
    w.EditComboBox->setGeometry(editLeft, kRowFile, editRight - editLeft, kRowHeight);
    w.RzPanelEditFN->setGeometry(w.EditComboBox->geometry());
    w.RzBitBtnOpenTree->setGeometry(optionLeft + treeOffset, kRowFile, 56, kRowHeight);

    const int rowRight = running ? optionLeft - 4 : topWidth - 4;
    w.CheckBoxFilter->setGeometry(22, kRowFilter, 18, kRowHeight);
    w.RzLabelFilter->setGeometry(42, kRowFilter, 34, kRowHeight);
    w.RzSpinEditFilterHistory->setGeometry(rowRight - 44, kRowFilter, 44, kRowHeight);
    w.RzComboBoxFilter->setGeometry(78, kRowFilter, qMax(20, rowRight - 48 - 78), kRowHeight);
    w.ImageAlarm->setGeometry(4, kRowAlert + 3, 16, 16);
    w.CheckBoxAlert->setGeometry(22, kRowAlert, 18, kRowHeight);
    w.RzLabelAlert->setGeometry(42, kRowAlert, 34, kRowHeight);
    w.RzComboBoxAlarm->setGeometry(78, kRowAlert, qMax(20, rowRight - 78), kRowHeight);
}

void PlaceOptionPanel(const TailWidgets& w) {
    w.LabelBufKo->setGeometry(194, kRowFile - 2, 74, kRowHeight);
    w.RzSpinEditBufKo->setGeometry(268, kRowFile - 2, 52, kRowHeight);
    w.CheckBoxAutoOffset->setGeometry(2, kRowFilter - 2, 84, kRowHeight);
    w.RzSpinEditOffset->setGeometry(88, kRowFilter - 2, 70, kRowHeight);
    w.CheckBoxReverseDNS->setGeometry(164, kRowFilter - 2, 64, kRowHeight);
    w.CheckBoxCompactSpace->setGeometry(2, kRowAlert - 2, 78, kRowHeight);
    w.CheckBoxWrap->setGeometry(84, kRowAlert - 2, 54, kRowHeight);
    w.CheckBoxTabs->setGeometry(140, kRowAlert - 2, 18, kRowHeight);
    w.RzSpinEditTab->setGeometry(160, kRowAlert - 2, 54, kRowHeight);
}

void PlaceRightColumn(const TailWidgets& w, int width) {
    const int x = width - kRightColumnWidth;
    w.RzBitBtnStart->setGeometry(x, 4, kRightColumnWidth - 4, 30);
    w.RzBitBtnStop->setGeometry(x, 4, kRightColumnWidth - 4, 30);
    w.CheckBox_Top->setGeometry(x, 37, kRightColumnWidth - 4, 20);
    int bx = x;
    for (QToolButton* b :
         {w.SpeedButtonNotePad, w.SpeedButtonPrint, w.SpeedButtonManager, w.SpeedButtonControlPanel}) {
        b->setGeometry(bx, 59, 22, 22);
        bx += 24;
    }
}

void PlaceViewArea(const TailWidgets& w, int width, int height) {
    const int top = kTopPanelHeight + 2;
    const int panelHeight = qMax(40, height - top - kStatusBarHeight);
    w.RzPanel2->setGeometry(0, top, width, panelHeight);
    w.LabelFn->setGeometry(2, 1, width - 30, 20);
    w.SpeedButtonClear->setGeometry(width - 24, 1, 20, 20);
    w.MemoTail->setGeometry(2, 22, width - 4, panelHeight - 24);
    const bool wrapping = w.MemoTail->lineWrapMode() != QPlainTextEdit::NoWrap;
    const int indicatorX = width - (wrapping ? 36 : 18);
    const int bottomInset = wrapping ? 4 : 20;
    w.ImageIndicator->move(indicatorX, panelHeight - 16 - bottomInset);
    w.ImageIndicator->raise();
}

} // namespace

void PlaceTailWidgets(const TailWidgets& w, QWidget* central, bool running) {
    const int width = central->width();
    const int height = central->height();
    PlaceTopPanel(w, width - kRightColumnWidth - 2, running);
    PlaceOptionPanel(w);
    PlaceRightColumn(w, width);
    PlaceViewArea(w, width, height);
    w.RzStatusBar1->setGeometry(0, height - kStatusBarHeight, width, kStatusBarHeight);
}
