#include "manage/file_manager_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "settings/uParam.h"
#include "widgets/kovra_resources.h"

namespace {

const QString kUserCmdHint = QStringLiteral("%s will be replaced with filename");

// A header line: white bold text on a coloured band.
QLabel* MakeHeader(const QString& text, const QColor& background, QWidget* parent) {
    auto* header = new QLabel(text, parent);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::white);
    header->setPalette(palette);
    header->setAutoFillBackground(true);
    header->setMinimumHeight(header->sizeHint().height() + 4);
    return header;
}

QCheckBox* MakeCheck(const QString& name, const QString& caption, const QString& hint, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setToolTip(hint);
    return box;
}

QSpinBox* MakeSpin(const QString& name, SpinRange range, int step, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(range.minimum, range.maximum);
    spin->setSingleStep(step);
    return spin;
}

QToolButton* MakeBrowse(const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(KovraPicture(kImageBrowse));
    button->setToolTip(QStringLiteral("Browse"));
    return button;
}

QLineEdit* MakeEdit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// The display settings of one tab: rows 0 to 4 of grid (check boxes, tab width, font).
void BuildDisplayRows(DefinitionControls& c, QGridLayout* grid, QWidget* parent, bool defaultTab,
                      QGridLayout* fontGrid) {
    const QString suffix = defaultTab ? QStringLiteral("Def") : QString();
    c.killLine = MakeCheck(QStringLiteral("CheckBoxCompactLine") + suffix, QStringLiteral("Kill line"),
                           QStringLiteral("Don't display blank lines"), parent);
    c.killSpace = MakeCheck(QStringLiteral("CheckBoxCompactSpace") + suffix, QStringLiteral("Kill space"),
                            QStringLiteral("Replace multiple space by sinlge space"), parent);
    c.wordWrap = MakeCheck(QStringLiteral("CheckBoxWordWrap") + suffix, QStringLiteral("Word Wrap"),
                           QStringLiteral("Word wrap the text in the tail window"), parent);
    c.newLineOnly = MakeCheck(QStringLiteral("CheckBoxNewLineOnly") + suffix,
                              defaultTab ? QStringLiteral("New line only") : QStringLiteral("New Line Only"),
                              QStringLiteral("Tail only new lines"), parent);
    c.keepWindowSize =
        MakeCheck(QStringLiteral("CheckBoxKeepWindowSize") + suffix, QStringLiteral("Restore window size"),
                  QStringLiteral("Keep KOVRA window size"), parent);
    c.useTabs =
        MakeCheck(QStringLiteral("CheckBoxTabs") + suffix, QStringLiteral("Use tabs :"),
                  QStringLiteral("Tabulation caracters are expended according to the tabs value"), parent);
    c.tabs = MakeSpin(QStringLiteral("RzSpinEditTab") + suffix, kTabsRange, 1, parent);
    c.font = new QPushButton(QStringLiteral("Font"), parent);
    c.font->setObjectName(defaultTab ? QStringLiteral("RzBitBtn2") : QStringLiteral("RzBitBtnFont"));
    c.fontName = new QLabel(parent);
    c.fontName->setObjectName(QStringLiteral("Labelfontname") + suffix);

    grid->addWidget(c.killLine, 0, 0);
    grid->addWidget(c.killSpace, 0, 1);
    grid->addWidget(c.wordWrap, 1, 0);
    grid->addWidget(c.newLineOnly, 1, 1);
    grid->addWidget(c.keepWindowSize, 2, 0);
    grid->addWidget(c.useTabs, 3, 0);
    grid->addWidget(c.tabs, 3, 1);
    fontGrid->addWidget(c.font, 4, 0);
    fontGrid->addWidget(c.fontName, 4, 1);
}

void BuildReadRows(DefinitionControls& c, QGridLayout* grid, QWidget* parent, bool defaultTab) {
    const QString suffix = defaultTab ? QStringLiteral("Def") : QString();
    c.autoOffset = MakeCheck(QStringLiteral("CheckBoxAutoOffset") + suffix, QStringLiteral("Auto offset"),
                             QStringLiteral("Offset back into the file when blank lines"), parent);
    c.buffer = MakeSpin(QStringLiteral("RzSpinEditBuf") + suffix, kBufferRange, 5, parent);
    c.refreshRate = MakeSpin(QStringLiteral("RzSpinEditRefreshRate") + suffix, kRefreshRange, 1, parent);
    c.autoTimer = MakeCheck(QStringLiteral("CheckBoxAutoTimer") + suffix, QStringLiteral("Auto timer"),
                            QString(), parent);
    c.readMethod = new QComboBox(parent);
    c.readMethod->setObjectName(QStringLiteral("ComboBoxReadMethod") + suffix);
    for (const char* name : kReadMethodNames)
        c.readMethod->addItem(QString::fromLatin1(name));

    grid->addWidget(c.autoOffset, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Read buffer :"), parent), 1, 0);
    grid->addWidget(c.buffer, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Read timer :"), parent), 2, 0);
    grid->addWidget(c.refreshRate, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("sec"), parent), 2, 2);
    grid->addWidget(c.autoTimer, 3, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("File sorting :"), parent), 4, 0);
    grid->addWidget(c.readMethod, 4, 1, 1, 2);
    grid->setRowStretch(5, 1);
}

QGroupBox* MakeGroup(const QString& title, QWidget* parent, QGridLayout*& grid) {
    auto* group = new QGroupBox(title, parent);
    grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    return group;
}

// One labelled row: caption, edit, optional button.
void AddEditRow(QGridLayout* grid, int row, QLabel* caption, QLineEdit* edit, QToolButton* button) {
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    if (button)
        grid->addWidget(button, row, 2);
}

// A settings panel, marked for the tagged-panel tint.
QFrame* MakeSettingsPanel(const QString& name, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setProperty("tag", 1);
    return panel;
}

// The panel's groups side by side above its rows of edits.
void StackInPanel(QFrame* panel, QLayout* groups, QLayout* edits) {
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(groups);
    column->addLayout(edits);
}

QWidget* BuildListPart(FileManagerWidgets& w, QWidget* tab) {
    auto* part = new QWidget(tab);
    w.listHeader = MakeHeader(QStringLiteral("  File manager list"), QColor(0x00, 0x00, 0x80), part);
    w.RzCheckList1 = new QListWidget(part);
    w.RzCheckList1->setObjectName(QStringLiteral("RzCheckList1"));
    w.up = new QToolButton(part);
    w.up->setObjectName(QStringLiteral("ButtonUp"));
    w.up->setArrowType(Qt::UpArrow);
    w.down = new QToolButton(part);
    w.down->setObjectName(QStringLiteral("ButtonDown"));
    w.down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {w.up, w.down}) {
        b->setAutoRepeat(true); // repeats while held
        b->setAutoRepeatDelay(400);
        b->setAutoRepeatInterval(120);
    }
    w.newButton = new QPushButton(QStringLiteral("New"), part);
    w.newButton->setObjectName(QStringLiteral("ButtonNew"));
    w.deleteButton = new QPushButton(QStringLiteral("Delete"), part);
    w.deleteButton->setObjectName(QStringLiteral("ButtonDelete"));

    auto* arrows = new QVBoxLayout;
    arrows->addWidget(w.up);
    arrows->addWidget(w.down);
    arrows->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(w.RzCheckList1, 1);
    listRow->addLayout(arrows);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(w.newButton);
    buttons->addWidget(w.deleteButton);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(part);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(w.listHeader);
    column->addLayout(listRow, 1);
    column->addLayout(buttons);
    return part;
}

QFrame* BuildSelectedPanel(FileManagerWidgets& w, QWidget* tab) {
    QFrame* panel = MakeSettingsPanel(QStringLiteral("PanelSelected"), tab);

    QGridLayout* display = nullptr;
    QGroupBox* displayGroup = MakeGroup(QStringLiteral(" Display settings "), panel, display);
    BuildDisplayRows(w.entry, display, displayGroup, false, display);
    w.LabelWindowSize = new QLabel(displayGroup);
    w.LabelWindowSize->setObjectName(QStringLiteral("LabelWindowSize"));
    w.LabelWindowSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display->addWidget(w.LabelWindowSize, 2, 1);
    w.RzSpinEditLevel = MakeSpin(QStringLiteral("RzSpinEditLevel"), SpinRange{0, 0}, 1, displayGroup);
    display->addWidget(new QLabel(QStringLiteral("TreeLevel :"), displayGroup), 5, 0);
    display->addWidget(w.RzSpinEditLevel, 5, 1);

    QGridLayout* read = nullptr;
    QGroupBox* readGroup = MakeGroup(QStringLiteral(" Read settings "), panel, read);
    BuildReadRows(w.entry, read, readGroup, false);

    auto* alias = new QLabel(QStringLiteral("Alias :"), panel);
    QPalette green = alias->palette();
    green.setColor(QPalette::WindowText, QColor(0x00, 0x80, 0x00));
    alias->setPalette(green);
    w.EditAlias = MakeEdit(QStringLiteral("EditAlias"), panel);
    w.EditName = MakeEdit(QStringLiteral("EditName"), panel);
    w.SpeedButtonBrowse = MakeBrowse(QStringLiteral("SpeedButtonBrowse"), panel);
    w.entry.userCmd = MakeEdit(QStringLiteral("EditUsercmd"), panel);
    w.entry.userCmd->setToolTip(kUserCmdHint);
    w.SpeedButtonBrowseCmd = MakeBrowse(QStringLiteral("SpeedButtonBrowseCmd"), panel);
    auto* edits = new QGridLayout;
    AddEditRow(edits, 0, alias, w.EditAlias, nullptr);
    AddEditRow(edits, 1, new QLabel(QStringLiteral("Path :"), panel), w.EditName, w.SpeedButtonBrowse);
    AddEditRow(edits, 2, new QLabel(QStringLiteral("User cmd :"), panel), w.entry.userCmd,
               w.SpeedButtonBrowseCmd);

    auto* groups = new QHBoxLayout;
    groups->addWidget(displayGroup, 3);
    groups->addWidget(readGroup, 2);
    StackInPanel(panel, groups, edits);
    return panel;
}

QWidget* BuildFileTab(FileManagerWidgets& w, QWidget* parent) {
    auto* tab = new QWidget(parent);
    tab->setObjectName(QStringLiteral("TabFileManager"));
    QWidget* listPart = BuildListPart(w, tab);
    w.selectedHeader = MakeHeader(QStringLiteral(" No file selected"), QColor(0x00, 0x80, 0x00), tab);
    w.selectedPanel = BuildSelectedPanel(w, tab);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(3);
    column->addWidget(listPart, 1);
    column->addWidget(w.selectedHeader);
    column->addWidget(w.selectedPanel);
    return tab;
}

QFrame* BuildDefaultPanel(FileManagerWidgets& w, QWidget* tab) {
    QFrame* panel = MakeSettingsPanel(QStringLiteral("PanelDefault"), tab);

    QGridLayout* display = nullptr;
    QGroupBox* displayGroup = MakeGroup(QStringLiteral(" Default Display settings "), panel, display);
    QGridLayout* font = nullptr;
    QGroupBox* fontGroup = MakeGroup(QStringLiteral(" Default Font "), panel, font);
    BuildDisplayRows(w.def, display, displayGroup, true, font);
    display->setRowStretch(4, 1);
    QGridLayout* read = nullptr;
    QGroupBox* readGroup = MakeGroup(QStringLiteral(" Default Read settings "), panel, read);
    BuildReadRows(w.def, read, readGroup, true);

    w.EditNameDef = MakeEdit(QStringLiteral("EditNameDef"), panel);
    w.EditNameDef->setReadOnly(true);
    w.def.userCmd = MakeEdit(QStringLiteral("EditUsercmdDef"), panel);
    w.def.userCmd->setToolTip(kUserCmdHint);
    auto* edits = new QGridLayout;
    AddEditRow(edits, 0, new QLabel(QStringLiteral("Last tailed file :"), panel), w.EditNameDef, nullptr);
    AddEditRow(edits, 1, new QLabel(QStringLiteral("Default User command :"), panel), w.def.userCmd, nullptr);

    auto* right = new QVBoxLayout;
    right->addWidget(fontGroup);
    right->addWidget(readGroup, 1);
    auto* groups = new QHBoxLayout;
    groups->addWidget(displayGroup, 1);
    groups->addLayout(right, 1);
    StackInPanel(panel, groups, edits);
    return panel;
}

QWidget* BuildDefaultTab(FileManagerWidgets& w, QWidget* parent) {
    auto* tab = new QWidget(parent);
    tab->setObjectName(QStringLiteral("TabDefault"));
    w.defaultPanel = BuildDefaultPanel(w, tab);
    w.iniFileName = new QLabel(TTailParam::GetIniFileName(), tab);
    w.iniFileName->setObjectName(QStringLiteral("LabelIniFileName"));
    w.iniFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    w.openIniFolder = new QToolButton(tab);
    w.openIniFolder->setObjectName(QStringLiteral("ButtonOpenIniFolder"));
    w.openIniFolder->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    w.openIniFolder->setToolTip(QStringLiteral("Open the ini file folder"));
    auto* info = new QHBoxLayout;
    info->addWidget(new QLabel(QStringLiteral("The parameters are stored in :"), tab));
    info->addWidget(w.iniFileName, 1);
    info->addWidget(w.openIniFolder);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(w.defaultPanel);
    column->addLayout(info);
    column->addStretch(1);
    return tab;
}

} // namespace

FileManagerWidgets BuildFileManagerWidgets(QDialog* dialog) {
    FileManagerWidgets w;
    w.tabs = new QTabWidget(dialog);
    w.tabs->setObjectName(QStringLiteral("PageControl"));
    w.tabs->addTab(BuildFileTab(w, w.tabs), QStringLiteral("File Manager"));
    w.tabs->addTab(BuildDefaultTab(w, w.tabs), QStringLiteral("Default Manager parameters"));
    w.ok = new QPushButton(QStringLiteral("OK"), dialog);
    w.ok->setObjectName(QStringLiteral("ButtonOK"));
    w.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    w.cancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(w.ok);
    buttons->addStretch(1);
    buttons->addWidget(w.cancel);
    auto* column = new QVBoxLayout(dialog);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(w.tabs, 1);
    column->addLayout(buttons);
    return w;
}
