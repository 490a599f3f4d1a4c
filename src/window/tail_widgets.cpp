#include "window/tail_widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "widgets/kovra_resources.h"
#include "widgets/tail_view.h"
#include "window/tail_controls.h"

namespace {

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
    // Four lines; a Qt tooltip breaks lines at "\n" (a carriage return would show as a glyph).
    w.SpeedButtonClear = SmallButton(w.RzPanel2, kImageClear,
                                     QStringLiteral("Left click : Clear the window \n"
                                                    "Ctrl+Left click : Clear the file \n"
                                                    "Shit+Left click : Delete the file\n"
                                                    "Right click : restore full view"));
    w.ViewBox = new QWidget(w.RzPanel2);
    w.ViewBoxLayout = new QVBoxLayout(w.ViewBox);
    w.ViewBoxLayout->setContentsMargins(0, 0, 0, 0);
    w.ViewBoxLayout->setSpacing(2);
    w.MemoTail = new TailView(w.ViewBox);
    w.ViewBoxLayout->addWidget(w.MemoTail);
    w.MemoTail->setFont(QFont(QStringLiteral("Courier New"), 8));
    w.ImageIndicator = new QLabel(w.RzPanel2);
    w.ImageIndicator->setFixedSize(16, 16);
    w.ImageIndicator->setPixmap(KovraPicture(kImageBottom).pixmap(16, 16));
}

// At least the width the window's layout gives it, and room for the longest texts a pass shows.
int StatePaneWidth(const StatusPane& pane) {
    constexpr int kLayoutWidth = 105;
    int widest = 0;
    for (const char* text : {"Autowaiting (60s)*", "Loading filelist..."})
        widest = qMax(widest, pane.fontMetrics().horizontalAdvance(QLatin1String(text)));
    const QMargins margins = pane.contentsMargins();
    return qMax(kLayoutWidth, widest + margins.left() + margins.right() + 2 * pane.frameWidth());
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
    w.RzStatusPanesSTATE->setFixedWidth(StatePaneWidth(*w.RzStatusPanesSTATE));
    w.RzStatusPaneTime =
        pane(QStringLiteral("Display the time (sec and milisec) needed to read/analyze/display the file"));
    w.RzStatusPaneFile = pane(QString());
    w.RzStatusPaneINFO = pane(QString());
    w.RzStatusPaneRDNS =
        pane(QStringLiteral("Status of the Reverse DNS thread. Click to refresh unknown address."));
    // Sized to their texts. Short of room, the line counts (and the resolver's state) give way
    // first, cut with an ellipsis: the file's size, age and type stay whole.
    for (StatusPane* p : {w.RzStatusPaneTime, w.RzStatusPaneFile})
        p->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    w.RzStatusPaneINFO->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    w.RzStatusPaneINFO->SetShrinkable(true);
    w.RzStatusPaneRDNS->SetShrinkable(true);
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
    w.PopupMenuTAILMemo->setToolTipsVisible(true); // Qt hides the items' hints otherwise
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
    // What a text view's menu offers on Linux; the keys work while the view has the focus.
    w.PopupMenuTAILMemo->addSeparator();
    w.CopyView = w.PopupMenuTAILMemo->addAction(QStringLiteral("Copy"));
    w.CopyView->setShortcut(QKeySequence::Copy);
    w.SelectAllView = w.PopupMenuTAILMemo->addAction(QStringLiteral("Select all"));
    w.SelectAllView->setShortcut(QKeySequence::SelectAll);
    for (QAction* action : {w.CopyView, w.SelectAllView}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        w.MemoTail->addAction(action);
    }

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
