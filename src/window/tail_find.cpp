// The find bar and the match marks of the tail window's view.
#include <QAction>
#include <QCheckBox>

#include "widgets/find_bar.h"
#include "widgets/match_highlight.h"
#include "widgets/tail_view.h"
#include "window/fTail.h"
#include "window/tail_port.h"

void TFormTail::CreateFindAndHighlight() {
    const InstalledFind find = InstallFindBar(*ui_.MemoTail, *ui_.ViewBoxLayout);
    // Ctrl+F from anywhere in the window, not only with the focus in the view.
    addAction(find.findAction);
    // The bar takes room under the view: the bottom indicator follows the view's corner.
    ui_.MemoTail->installEventFilter(this);

    // The switches and patterns the passes read: a new view shows what they kept, and why.
    const TailWindowAdapter* adapter = adapter_.get();
    auto* highlighter = new MatchHighlighter(
        *ui_.MemoTail,
        [adapter] {
            return HighlightPatterns{adapter->FilterOn(), adapter->FilterInverted(), adapter->FilterPattern(),
                                     adapter->AlertOn(),  adapter->AlertInverted(),  adapter->AlertPattern()};
        },
        ui_.MemoTail);
    // A switch turned on or off may leave the text as it is: the marks follow it at once.
    connect(ui_.CheckBoxFilter, &QCheckBox::toggled, highlighter, &MatchHighlighter::Refresh);
    connect(ui_.CheckBoxAlert, &QCheckBox::toggled, highlighter, &MatchHighlighter::Refresh);
}
