// The view's lines coloured by level and by the user's highlight rules, "Highlight selection",
// and the bookmarks with their keys and menu items.
#include <QAction>
#include <QLabel>
#include <QMenu>

#include "settings/highlight_rules.h"
#include "settings/uParam.h"
#include "source/source.h"
#include "widgets/line_colors.h"
#include "widgets/tail_view.h"
#include "widgets/view_bookmarks.h"
#include "window/fTail.h"
#include "window/tail_controls.h"

void TFormTail::CreateLineColorsAndBookmarks() {
    params_->highlightRules = LoadHighlightRules();
    // The followed source's own ranking of its lines, where it has one: the label names what the
    // passes read.
    const QLabel* followed = ui_.LabelFn;
    const TTailParam* params = params_.get();
    lineColorizer_ = new LineColorizer(
        *ui_.MemoTail,
        [params, followed] {
            const QString name = followed->text();
            return LineColorSettings{params->colorlinesbylevel, params->highlightRules,
                                     SourceKindOf(name).LineLevels(name), name};
        },
        ui_.MemoTail);

    const InstalledBookmarks installed = InstallBookmarks(*ui_.MemoTail, *centralWidget());
    bookmarks_ = installed.bookmarks;
    QMenu* menu = ui_.PopupMenuTAILMemo;
    // Before Copy and Select all: with the other actions on the view's text.
    QAction* before = ui_.CopyView;
    QAction* highlight = new QAction(QStringLiteral("Highlight selection"), menu);
    highlight->setObjectName(QStringLiteral("HighlightSelection1"));
    menu->insertAction(before, highlight);
    menu->insertAction(before, installed.toggle);
    menu->insertAction(before, installed.next);
    menu->insertAction(before, installed.previous);
    menu->insertSeparator(before);
    connect(highlight, &QAction::triggered, this, &TFormTail::HighlightSelection);
}

void TFormTail::HighlightSelection() {
    // A line holds no line break: a selection over lines marks its first line's part.
    const QString text = SelectedViewText().section(QStringLiteral("\r\n"), 0, 0);
    if (text.trimmed().isEmpty())
        return;
    params_->highlightRules.push_back(LiteralHighlightRule(text, params_->highlightRules));
    SaveHighlightRules(params_->highlightRules, services_.dialogs);
    lineColorizer_->Refresh();
}

void TFormTail::RefreshLineColors() {
    lineColorizer_->Refresh();
}
