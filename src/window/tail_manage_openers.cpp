// The tail window's openers of the file manager dialog and the file tree window, and the "Add to
// File Manager" button. Each catches its failures and shows them in a box.
#include <exception>
#include <memory>
#include <vector>

#include <QLineEdit>
#include <QPushButton>

#include "engine/tail_state.h"
#include "manage/fTailManager.h"
#include "manage/fTailTree.h"
#include "platform/dialogs.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "window/fTail.h"

namespace {

void ReportFailure(DialogService& dialogs, const char* operation, const std::exception& failure) {
    dialogs.ShowMessage(DialogService::Icon::Error, QString::fromLatin1(operation) + QStringLiteral(" : ") +
                                                        QString::fromLocal8Bit(failure.what()));
}

// The entries of a list, copied: what a cancelled dialog returns to while they wait to be stored.
std::vector<TTailFile> CopyEntries(const TTailFileList& list) {
    std::vector<TTailFile> copies;
    for (int i = 0; i < list.Count(); ++i)
        copies.push_back(*list.RItems(i));
    return copies;
}

void RestoreEntries(TTailFileManager& manager, const std::vector<TTailFile>& copies) {
    manager.List->Clear();
    for (const TTailFile& copy : copies)
        manager.List->Add(copy.Path, std::make_unique<TTailFile>(copy));
    manager.MarkUnsavedEdits();
}

} // namespace

void TFormTail::OnAddToManager() {
    try {
        const QString name = ui_.EditComboBox->text().trimmed();
        if (!name.isEmpty()) {
            manager_->SetFileName(name);
            if (!manager_->GetCurrentFile())
                manager_->List->AddFile(name, QString());
        }
    } catch (const std::exception& e) {
        ReportFailure(*services_.dialogs, "TFormTail.OnAddToManager", e);
        return;
    }
    OnOpenManager();
}

void TFormTail::OnOpenManager() {
    WithTailStopped([this] {
        try {
            // The tail is stopped: no pass can read an entry the tree window took out.
            manager_->ReleaseRetiredEntries();
            // Edits of the tree window not stored yet are what Cancel returns to, not the file.
            const bool unsaved = manager_->HasUnsavedEdits();
            const std::vector<TTailFile> pending =
                unsaved ? CopyEntries(*manager_->List) : std::vector<TTailFile>();
            TFormFileManager dialog(*manager_, *services_.dialogs, this, DisplayColorCount());
            dialog.SizeToOwner(size());
            if (dialog.exec() == QDialog::Accepted) {
                manager_->SaveToRegistry();
                ui_.EditComboBox->setText(dialog.CurrentFileName());
                manager_->SetFileName(ui_.EditComboBox->text());
            } else {
                // Drops the edits; the default definition is read again only under the list's rule.
                manager_->LoadFromRegistry();
                if (unsaved)
                    RestoreEntries(*manager_, pending);
                manager_->SetFileName(ui_.EditComboBox->text());
            }
        } catch (const std::exception& e) {
            ReportFailure(*services_.dialogs, "TFormTail.OnOpenManager", e);
        }
        UpdateAlarmImage();
        UpdateTitle();
    });
}

void TFormTail::OnOpenTree() {
    try {
        // The tick starts passes on this thread: while none is busy, none starts before we return.
        if (!engine_->Busy())
            manager_->ReleaseRetiredEntries();
        FileTreeOptions options;
        options.fontName = params_->pathcombofontname;
        options.autoExpand = params_->autoexpandtree;
        TFormFileTree tree(*manager_, options, this);
        tree.PlaceOver(*ui_.EditComboBox, *ui_.RzBitBtnOpenTree);
        tree.exec();
        const TFormFileTree::Result result = tree.TreeResult();
        if (result != TFormFileTree::Result::Cancel) {
            manager_->SaveToRegistry();
            const QString chosen = tree.SelectedPath();
            // Only a file the user picked is followed: an untouched tree changes nothing.
            if (tree.FilePicked() && chosen != manager_->FileName) {
                const bool restart = TailStatus() == tsStart || result == TFormFileTree::Result::Yes;
                if (restart)
                    SetTailStatus(tsStop);
                ui_.EditComboBox->setText(chosen);
                if (restart)
                    SetTailStatus(tsStart);
            }
        }
        if (!engine_->Busy())
            manager_->ReleaseRetiredEntries();
    } catch (const std::exception& e) {
        ReportFailure(*services_.dialogs, "TFormTail.OnOpenTree", e);
    }
}
