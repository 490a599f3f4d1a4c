#include "manage/fTailManager.h"

#include <algorithm>
#include <climits>

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "platform/dialogs.h"
#include "platform/launch.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "util/colors.h"
#include "widgets/panel_tint.h"

namespace {

const QString kMandatory = QStringLiteral("file name or alias is mandatory");

// Sets a control's shown value; the dialog's filling_ flag keeps it from storing.
void Show(QCheckBox* box, bool on) {
    box->setChecked(on);
}
// A value outside the box's range widens it: the box shows the value the program uses, never a
// bound that the user did not choose.
void Show(QSpinBox* spin, int value, SpinRange range) {
    spin->setRange(qMin(range.minimum, value), qMax(range.maximum, value));
    spin->setValue(value);
}

void FillDefinitionControls(const DefinitionControls& c, const TBaseTailFile& def) {
    Show(c.killLine, def.GetKillline());
    Show(c.killSpace, def.GetKillspace());
    Show(c.wordWrap, def.GetWrap());
    Show(c.newLineOnly, def.GetNewlineOnly());
    Show(c.keepWindowSize, def.GetKeepWindowSize());
    Show(c.useTabs, def.GetUseTabs());
    Show(c.tabs, def.GetTabsVal(), kTabsRange);
    c.tabs->setEnabled(def.GetUseTabs());
    c.fontName->setText(def.GetFontName() + QStringLiteral(" (") + QString::number(def.GetFontSize()) +
                        QStringLiteral(" pts)"));
    QPalette palette = c.fontName->palette();
    palette.setColor(QPalette::WindowText, ColorToQColor(def.GetFontColor()));
    c.fontName->setPalette(palette);
    Show(c.autoOffset, def.GetAutooffset());
    Show(c.buffer, def.GetBufferkoVal(), kBufferRange);
    Show(c.refreshRate, def.GetRefreshRate(), kRefreshRange);
    Show(c.autoTimer, def.GetAutotimer());
    const int method = def.GetReadMethod();
    c.readMethod->setCurrentIndex(method >= 1 && method <= 3 ? method - 1 : -1);
    c.userCmd->setText(def.GetUserCmd());
}

} // namespace

TFormFileManager::TFormFileManager(TTailFileManager& manager, DialogService& dialogs, QWidget* parent,
                                   qint64 displayColorCount)
    : QDialog(parent), manager_(manager), dialogs_(dialogs), currentFileName_(manager.FileName) {
    setObjectName(QStringLiteral("FormFileManager"));
    setWindowTitle(QStringLiteral("KOVRA - File manager"));
    setModal(true);
    setSizeGripEnabled(true);
    ui_ = BuildFileManagerWidgets(this);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    ApplyTaggedPanelTint(*this, kColorBtnFace,
                         displayColorCount > 0 ? displayColorCount : ScreenColorCount(*this));
    ConnectListControls();
    ConnectDefinitionControls(ui_.entry, false);
    ConnectDefinitionControls(ui_.def, true);
    ConnectEntryControls();

    FillLines();
    const TTailFileList& list = *manager_.List;
    int selected = list.Count() > 0 ? 0 : -1;
    for (int i = 0; i < list.Count(); ++i) {
        if (list.RItems(i)->Path == currentFileName_) {
            selected = i;
            break;
        }
    }
    SelectLine(selected);
    Refill();
    SizeToOwner(size());
}

void TFormFileManager::SizeToOwner(const QSize& owner) {
    resize(qBound(kMinimumWidth, owner.width(), qMax(kMinimumWidth, kMaximumWidth)),
           qBound(kMinimumHeight, owner.height(), qMax(kMinimumHeight, kMaximumHeight)));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormFileManager::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QListWidgetItem* item = ui_.RzCheckList1->currentItem())
        ui_.RzCheckList1->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void TFormFileManager::ConnectListControls() {
    QListWidget* list = ui_.RzCheckList1;
    connect(list, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_)
            Refill();
    });
    connect(list, &QListWidget::itemChanged, this, [this, list](QListWidgetItem* item) {
        TTailFile* entry = filling_ ? nullptr : manager_.List->RItems(list->row(item));
        if (entry)
            entry->SetEnabled(item->checkState() == Qt::Checked);
    });
    connect(ui_.newButton, &QPushButton::clicked, this, &TFormFileManager::OnNew);
    connect(ui_.deleteButton, &QPushButton::clicked, this, &TFormFileManager::OnDelete);
    connect(ui_.up, &QToolButton::clicked, this, [this] { OnMove(-1); });
    connect(ui_.down, &QToolButton::clicked, this, [this] { OnMove(+1); });
    connect(ui_.ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_.cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_.openIniFolder, &QToolButton::clicked, this,
            [] { ShellRun(TTailParam::GetSettingsFolder(), QString(), QString(), 0, 1, false); });
}

// Every control stores into the definition of its tab; programmatic fills store nothing.
void TFormFileManager::ConnectDefinitionControls(const DefinitionControls& c, bool defaultTab) {
    auto onCheck = [this, defaultTab](QCheckBox* box, void (TBaseTailFile::*set)(bool)) {
        connect(box, &QCheckBox::toggled, this, [this, defaultTab, set](bool on) {
            if (TBaseTailFile* def = Target(defaultTab))
                (def->*set)(on);
        });
    };
    onCheck(c.killLine, &TBaseTailFile::SetKillline);
    onCheck(c.killSpace, &TBaseTailFile::SetKillspace);
    onCheck(c.wordWrap, &TBaseTailFile::SetWrap);
    onCheck(c.newLineOnly, &TBaseTailFile::SetNewlineOnly);
    onCheck(c.keepWindowSize, &TBaseTailFile::SetKeepWindowSize);
    onCheck(c.useTabs, &TBaseTailFile::SetUseTabs);
    onCheck(c.autoOffset, &TBaseTailFile::SetAutooffset);
    onCheck(c.autoTimer, &TBaseTailFile::SetAutotimer);
    connect(c.useTabs, &QCheckBox::toggled, c.tabs, &QWidget::setEnabled);
    auto onSpin = [this, defaultTab](QSpinBox* spin, void (TBaseTailFile::*set)(qint32)) {
        connect(spin, &QSpinBox::valueChanged, this, [this, defaultTab, set](int value) {
            if (TBaseTailFile* def = Target(defaultTab))
                (def->*set)(value);
        });
    };
    onSpin(c.tabs, &TBaseTailFile::SetTabsVal);
    onSpin(c.buffer, &TBaseTailFile::SetBufferkoVal);
    onSpin(c.refreshRate, &TBaseTailFile::SetRefreshRate);
    connect(c.readMethod, &QComboBox::currentIndexChanged, this, [this, defaultTab](int index) {
        TBaseTailFile* def = Target(defaultTab);
        if (def && index >= 0)
            def->SetReadMethod(index + 1);
    });
    connect(c.userCmd, &QLineEdit::textEdited, this, [this, defaultTab](const QString& text) {
        if (TBaseTailFile* def = Target(defaultTab))
            def->SetUserCmd(text);
    });
    connect(c.font, &QPushButton::clicked, this, [this, defaultTab] { OnFontClicked(defaultTab); });
}

void TFormFileManager::ConnectEntryControls() {
    connect(ui_.EditName, &QLineEdit::textEdited, this, &TFormFileManager::OnPathEdited);
    connect(ui_.EditAlias, &QLineEdit::textEdited, this, &TFormFileManager::OnAliasEdited);
    connect(ui_.RzSpinEditLevel, &QSpinBox::valueChanged, this, [this](int level) {
        TTailFile* entry = filling_ ? nullptr : SelectedEntry();
        if (!entry)
            return;
        entry->SetLevel(level);
        RewriteSelectedLine();
    });
    connect(ui_.SpeedButtonBrowse, &QToolButton::clicked, this, [this] {
        const QString name = dialogs_.ChooseOpenFile(QString());
        if (name.isEmpty() || !SelectedEntry())
            return;
        ui_.EditName->setText(name);
        OnPathEdited(name);
    });
    connect(ui_.SpeedButtonBrowseCmd, &QToolButton::clicked, this, [this] {
        const QString name = dialogs_.ChooseOpenFile(QString());
        TTailFile* entry = SelectedEntry();
        if (name.isEmpty() || !entry)
            return;
        const QString command = u'"' + name + u'"';
        ui_.entry.userCmd->setText(command);
        entry->SetUserCmd(command);
    });
}

TTailFile* TFormFileManager::SelectedEntry() const {
    const int row = ui_.RzCheckList1->currentRow();
    return row >= 0 && row < manager_.List->Count() ? manager_.List->RItems(row) : nullptr;
}

TBaseTailFile* TFormFileManager::Target(bool defaultTab) const {
    if (filling_)
        return nullptr;
    return defaultTab ? static_cast<TBaseTailFile*>(manager_.List->DefFile.get()) : SelectedEntry();
}

void TFormFileManager::FillLines() {
    const QScopedValueRollback filling(filling_, true);
    QListWidget* lines = ui_.RzCheckList1;
    lines->clear();
    const TTailFileList& list = *manager_.List;
    for (int i = 0; i < list.Count(); ++i) {
        const TTailFile* entry = list.RItems(i);
        auto* item = new QListWidgetItem(entry->GetDisplayName(), lines);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(entry->IsEnabled() ? Qt::Checked : Qt::Unchecked);
    }
}

void TFormFileManager::SelectLine(int row) {
    const QScopedValueRollback filling(filling_, true);
    ui_.RzCheckList1->setCurrentRow(row);
}

void TFormFileManager::RewriteSelectedLine() {
    QListWidgetItem* item = ui_.RzCheckList1->currentItem();
    const TTailFile* entry = SelectedEntry();
    if (!item || !entry || item->text() == entry->GetDisplayName())
        return;
    const QScopedValueRollback filling(filling_, true);
    item->setText(entry->GetDisplayName());
}

void TFormFileManager::Refill() {
    {
        const QScopedValueRollback filling(filling_, true);
        RefillEntryTab();
        RefillDefaultTab();
    }
    UpdateListButtons();
}

void TFormFileManager::RefillEntryTab() {
    TTailFile* entry = SelectedEntry();
    ui_.selectedHeader->setText(entry ? QStringLiteral(" Selected file parameters")
                                      : QStringLiteral(" No file selected"));
    ui_.selectedPanel->setEnabled(entry != nullptr);
    if (!entry)
        return;
    FillDefinitionControls(ui_.entry, *entry);
    const qint32 width = entry->GetWindowWidth();
    const qint32 height = entry->GetWindowHeight();
    ui_.LabelWindowSize->setText(
        width != 0 && height != 0 ? QStringLiteral("(W=%1, H=%2)").arg(width).arg(height) : QString());
    ApplyLevelRule(*entry, ui_.RzCheckList1->currentRow());
    ui_.EditName->setText(entry->Path);
    ui_.EditName->setToolTip(entry->Path);
    ui_.EditAlias->setText(entry->Alias);
}

void TFormFileManager::RefillDefaultTab() {
    const TDefTailFile& def = *manager_.List->DefFile;
    FillDefinitionControls(ui_.def, def);
    ui_.EditNameDef->setText(def.Path);
}

// An entry sits at most one level below the entry above it and at most one above; the first one
// is at the top.
void TFormFileManager::ApplyLevelRule(TTailFile& entry, int row) {
    QSpinBox* box = ui_.RzSpinEditLevel;
    int minimum = 0;
    int maximum = 0;
    if (row > 0) {
        // In 64 bits: a hand-edited level may sit at either end of the 32-bit range.
        const qint64 above = manager_.List->RItems(row - 1)->GetLevel();
        minimum = int(std::clamp<qint64>(above - 1, 0, INT_MAX));
        maximum = int(std::clamp<qint64>(above + 1, minimum, INT_MAX));
    }
    const int level = qBound(minimum, entry.GetLevel(), maximum);
    if (level != entry.GetLevel() || entry.Level != QString::number(level))
        entry.SetLevel(level);
    box->setRange(minimum, maximum);
    box->setValue(level);
    box->setEnabled(row > 0);
    RewriteSelectedLine();
}

void TFormFileManager::UpdateListButtons() {
    const int row = ui_.RzCheckList1->currentRow();
    const int count = manager_.List->Count();
    const bool selected = row >= 0 && row < count;
    ui_.deleteButton->setEnabled(selected);
    ui_.up->setEnabled(selected && row > 0);
    ui_.down->setEnabled(selected && row < count - 1);
}

void TFormFileManager::OnPathEdited(const QString& text) {
    TTailFile* entry = SelectedEntry();
    if (!entry)
        return;
    if (text.isEmpty() && entry->Alias.isEmpty()) {
        ui_.EditAlias->setText(kMandatory);
        OnAliasEdited(kMandatory);
    }
    if (entry->Path == currentFileName_)
        currentFileName_ = text;
    entry->Path = text;
    ui_.EditName->setToolTip(text);
    RewriteSelectedLine();
}

void TFormFileManager::OnAliasEdited(const QString& text) {
    TTailFile* entry = SelectedEntry();
    if (!entry)
        return;
    if (entry->Path.isEmpty() && text.isEmpty()) {
        ui_.EditName->setText(kMandatory);
        OnPathEdited(kMandatory);
    }
    entry->Alias = text;
    RewriteSelectedLine();
}

void TFormFileManager::OnFontClicked(bool defaultTab) {
    TBaseTailFile* def = Target(defaultTab);
    if (!def)
        return;
    QFont font;
    quint32 color = 0;
    def->AssignToFont(font, &color);
    QColor chosenColor = ColorToQColor(color);
    if (dialogs_.ChooseFont(font, &chosenColor))
        def->SetFromFont(font, QColorToColor(chosenColor));
    Refill();
}

void TFormFileManager::OnNew() {
    manager_.List->AddFile(QStringLiteral("filename"), QStringLiteral("file alias"));
    FillLines();
    SelectLine(manager_.List->Count() - 1);
    Refill();
}

void TFormFileManager::OnDelete() {
    const int row = ui_.RzCheckList1->currentRow();
    TTailFile* entry = SelectedEntry();
    if (!entry)
        return;
    if (entry->Path == currentFileName_)
        currentFileName_.clear();
    manager_.List->AtFree(row);
    // The manager's current entry may have been the one freed: find it again by its name.
    manager_.SetFileName(manager_.FileName);
    FillLines();
    const int count = manager_.List->Count();
    SelectLine(count == 0 ? -1 : qMin(row, count - 1));
    Refill();
}

void TFormFileManager::OnMove(int step) {
    const int row = ui_.RzCheckList1->currentRow();
    const int other = row + step;
    if (row < 0 || other < 0 || other >= manager_.List->Count())
        return;
    manager_.List->Exchange(row, other);
    FillLines();
    SelectLine(other);
    Refill();
}
