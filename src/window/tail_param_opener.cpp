// The parameters dialog, opened from the tail window: the tail is stopped while it is open (no pass
// reads a parameter while OK writes it), the parameters are stored when it ends with OK, and the
// window shows them again whatever the result.
#include <QLineEdit>

#include "manage/fTailParam.h"
#include "platform/dialogs.h"
#include "settings/highlight_rules.h"
#include "settings/uParam.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

void TFormTail::OnOpenParameters() {
    WithTailStopped([this] {
        try {
            TFormTailParam dialog(*params_, TailParamServices{services_.dialogs, services_.mail}, this);
            const std::vector<HighlightRule> rules = params_->highlightRules;
            if (dialog.exec() == QDialog::Accepted) {
                params_->SaveParams();
                // The INI file is written only when the rules changed.
                if (params_->highlightRules != rules)
                    SaveHighlightRules(params_->highlightRules, services_.dialogs);
            }
        } catch (const std::exception& failure) {
            services_.dialogs->ShowMessage(DialogService::Icon::Error,
                                           QStringLiteral("TFormTail.OnOpenParameters : ") +
                                               QString::fromLocal8Bit(failure.what()));
        }
        ReapplyParameters();
    });
}

void TFormTail::ReapplyParameters() {
    UpdateAlarmImage();
    UpdateTitle();
    ApplyColors();
    ApplyPathComboFont();
    RefreshLineColors();
}

void TFormTail::ApplyPathComboFont() {
    QFont editFont = ui_.EditComboBox->font();
    editFont.setFamily(params_->pathcombofontname);
    ui_.EditComboBox->setFont(editFont);
    ui_.RzPanelEditFN->SetFontName(params_->pathcombofontname);
}
