#pragma once
// TFormFileManager: the file manager dialog. It edits the tail window's live file list and the
// list's default definition in place: every change in a control is applied to those objects at
// once, and the dialog keeps no copy. Its opener stores the list on OK and reloads it on Cancel.
// Modal, created for each opening and freed after it. Window thread only, while the tail is
// stopped (no pass reads a definition it changes).
//
// Ownership: the manager (and so the list) and the dialog service belong to the opener; the
// controls belong to the dialog by Qt parentage.
#include <QDialog>
#include <QString>

#include "manage/file_manager_widgets.h"

class DialogService;
class TBaseTailFile;
class TTailFile;
class TTailFileManager;

class TFormFileManager final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormFileManager)

public:
    // The current file name starts as the manager's FileName. displayColorCount 0: ask the screen.
    TFormFileManager(TTailFileManager& manager, DialogService& dialogs, QWidget* parent = nullptr,
                     qint64 displayColorCount = 0);

    // The file the tail window follows, kept in step when its entry is renamed or deleted.
    QString CurrentFileName() const { return currentFileName_; }
    const FileManagerWidgets& Widgets() const { return ui_; }
    // As high as the owner, at most 768, and as wide, at most 800 (never below the minimum size);
    // centred on the screen.
    void SizeToOwner(const QSize& owner);

    static constexpr int kMinimumWidth = 470;
    static constexpr int kMinimumHeight = 460;
    static constexpr int kMaximumWidth = 800;
    static constexpr int kMaximumHeight = 768;

protected:
    // The selected line is scrolled into view: a list only scrolls while it is shown.
    void showEvent(QShowEvent* event) override;

private:
    void ConnectListControls();
    void ConnectDefinitionControls(const DefinitionControls& c, bool defaultTab);
    void ConnectEntryControls();

    // The entry of the selected line, or null.
    TTailFile* SelectedEntry() const;
    // The definition a control of that tab edits: the selected entry or the default definition.
    TBaseTailFile* Target(bool defaultTab) const;
    void FillLines();
    void SelectLine(int row);
    void RewriteSelectedLine();
    void Refill();
    void RefillEntryTab();
    void RefillDefaultTab();
    void ApplyLevelRule(TTailFile& entry, int row);
    void UpdateListButtons();

    void OnPathEdited(const QString& text);
    void OnAliasEdited(const QString& text);
    void OnFontClicked(bool defaultTab);
    void OnNew();
    void OnDelete();
    void OnMove(int step);

    TTailFileManager& manager_;
    DialogService& dialogs_;
    QString currentFileName_;
    FileManagerWidgets ui_;
    // Set while the dialog fills its controls: their change notifications then store nothing, so
    // a refill never turns an inherited value into an own one.
    bool filling_ = false;
};
