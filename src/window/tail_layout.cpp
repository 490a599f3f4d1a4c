// Where the tail window's controls go for its size and state. The rows and columns are the
// window's own; widths come from the captions in the window's font, so no caption is cut whatever
// the font, and the pattern fields and the file name take the room that is left.
#include <tuple>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "widgets/tail_view.h"
#include "window/tail_controls.h"
#include "window/tail_widgets.h"

namespace {

constexpr int kTopPanelHeight = 83;
constexpr int kRightColumnWidth = 106;
constexpr int kStatusBarHeight = 22;
constexpr int kRowFile = 4;
constexpr int kRowFilter = 31;
constexpr int kRowAlert = 57;
constexpr int kRowHeight = 22;
constexpr int kGap = 4;
constexpr int kSmallButton = 22;
constexpr int kTreeButtonWidth = 56;
constexpr int kContextSpinWidth = 44;
constexpr int kBufferSpinWidth = 52;
constexpr int kOffsetSpinWidth = 70;
constexpr int kTabSpinWidth = 54;
constexpr int kPatternLabelWidth = 34;

// Puts widget at (x, y), as wide as given, one row high; answers its right edge.
int PlaceAt(QWidget* widget, int x, int y, int width) {
    widget->setGeometry(x, y, width, kRowHeight);
    return x + width;
}

// A caption's width: what its control needs to show it whole.
int Needs(const QWidget* widget, int atLeast = 0) {
    return qMax(atLeast, widget->sizeHint().width());
}

// A push button with a picture and a caption: the picture, the caption and the button's margins.
int ButtonNeeds(const QPushButton* button, int atLeast) {
    constexpr int kMargins = 14;
    const int caption = button->fontMetrics().horizontalAdvance(button->text());
    return qMax(atLeast, button->iconSize().width() + kGap + caption + kMargins);
}

struct OptionPanelPlace {
    int width = 0;
    int bufferLabelLeft = 0; // the file-name row ends before it
};

// The option panel's controls from its left edge: read window at the right of the first row,
// Auto Offset, offset and R. DNS on the second, Kill space, Wrap and the tab stops on the third.
OptionPanelPlace PlaceOptionPanel(const TailWidgets& w) {
    const int y1 = kRowFile - 2;
    const int y2 = kRowFilter - 2;
    const int y3 = kRowAlert - 2;
    int x = PlaceAt(w.CheckBoxAutoOffset, 2, y2, Needs(w.CheckBoxAutoOffset));
    x = PlaceAt(w.RzSpinEditOffset, x + 2, y2, kOffsetSpinWidth);
    const int row2 = PlaceAt(w.CheckBoxReverseDNS, x + 6, y2, Needs(w.CheckBoxReverseDNS));
    x = PlaceAt(w.CheckBoxCompactSpace, 2, y3, Needs(w.CheckBoxCompactSpace));
    x = PlaceAt(w.CheckBoxWrap, x + kGap, y3, Needs(w.CheckBoxWrap));
    x = PlaceAt(w.CheckBoxTabs, x + 2, y3, Needs(w.CheckBoxTabs, 18));
    const int row3 = PlaceAt(w.RzSpinEditTab, x + 2, y3, kTabSpinWidth);
    const int labelWidth = Needs(w.LabelBufKo);
    const int row1 = labelWidth + 2 + kBufferSpinWidth;

    OptionPanelPlace place;
    place.width = qMax(qMax(row2, row3), row1) + 2;
    const int spinLeft = place.width - 2 - kBufferSpinWidth;
    PlaceAt(w.RzSpinEditBufKo, spinLeft, y1, kBufferSpinWidth);
    place.bufferLabelLeft = spinLeft - 2 - labelWidth;
    PlaceAt(w.LabelBufKo, place.bufferLabelLeft, y1, labelWidth);
    return place;
}

// The file-name row: label, browse and add buttons, the edit (or the painted panel in its place)
// and the tree button, whose left edge the edit passes by one pixel. treeRight: where the row ends.
void PlaceFileRow(const TailWidgets& w, int treeRight) {
    int x = PlaceAt(w.Label1, 4, kRowFile, Needs(w.Label1, 30));
    x = PlaceAt(w.SpeedButtonBrowse, x + 2, kRowFile, kSmallButton);
    x = PlaceAt(w.SpeedButtonAddManager, x + 2, kRowFile, kSmallButton);
    const int editLeft = x + 2;
    const int treeWidth = ButtonNeeds(w.RzBitBtnOpenTree, kTreeButtonWidth);
    const int treeLeft = qMax(editLeft + 20, treeRight - treeWidth);
    PlaceAt(w.RzBitBtnOpenTree, treeLeft, kRowFile, treeWidth);
    PlaceAt(w.EditComboBox, editLeft, kRowFile, treeLeft + 1 - editLeft);
    w.RzPanelEditFN->setGeometry(w.EditComboBox->geometry());
}

// The filter and alert rows up to rowRight: the pattern fields take what the labels leave.
void PlacePatternRows(const TailWidgets& w, int rowRight) {
    const int labelWidth = qMax(Needs(w.RzLabelFilter, kPatternLabelWidth), Needs(w.RzLabelAlert));
    const int checkWidth = 18;
    w.ImageAlarm->setGeometry(4, kRowAlert + 3, 16, 16);
    for (auto [check, label, y] : {std::tuple{w.CheckBoxFilter, w.RzLabelFilter, kRowFilter},
                                   std::tuple{w.CheckBoxAlert, w.RzLabelAlert, kRowAlert}}) {
        PlaceAt(check, 22, y, checkWidth);
        PlaceAt(label, 22 + checkWidth + 2, y, labelWidth);
    }
    const int fieldLeft = 22 + checkWidth + 2 + labelWidth + 2;
    const int spinLeft = rowRight - kContextSpinWidth;
    PlaceAt(w.RzSpinEditFilterHistory, spinLeft, kRowFilter, kContextSpinWidth);
    PlaceAt(w.RzComboBoxFilter, fieldLeft, kRowFilter, qMax(20, spinLeft - kGap - fieldLeft));
    PlaceAt(w.RzComboBoxAlarm, fieldLeft, kRowAlert, qMax(20, rowRight - fieldLeft));
}

void PlaceTopPanel(const TailWidgets& w, int topWidth, bool running) {
    w.RzPanel1->setGeometry(0, 0, topWidth, kTopPanelHeight);
    const OptionPanelPlace option = PlaceOptionPanel(w);
    const int optionLeft = topWidth - option.width - 2;
    w.PanelCB->setGeometry(optionLeft, 2, option.width, kTopPanelHeight - 4);
    // Running, the file-name row reaches into the option panel's first row, up to the read window.
    PlaceFileRow(w, running ? optionLeft + option.bufferLabelLeft - kGap : topWidth - kGap);
    PlacePatternRows(w, running ? optionLeft - kGap : topWidth - kGap);
}

int RightColumnWidth(const TailWidgets& w) {
    return qMax(kRightColumnWidth, Needs(w.CheckBox_Top) + 6);
}

void PlaceRightColumn(const TailWidgets& w, int width, int columnWidth) {
    const int x = width - columnWidth;
    w.RzBitBtnStart->setGeometry(x, 4, columnWidth - 4, 30);
    w.RzBitBtnStop->setGeometry(x, 4, columnWidth - 4, 30);
    w.CheckBox_Top->setGeometry(x, 37, columnWidth - 4, 20);
    int bx = x;
    for (QToolButton* b :
         {w.SpeedButtonNotePad, w.SpeedButtonPrint, w.SpeedButtonManager, w.SpeedButtonControlPanel}) {
        b->setGeometry(bx, 59, kSmallButton, kSmallButton);
        bx += kSmallButton + 2;
    }
}

void PlaceViewArea(const TailWidgets& w, int width, int height) {
    const int top = kTopPanelHeight + 2;
    const int panelHeight = qMax(40, height - top - kStatusBarHeight);
    w.RzPanel2->setGeometry(0, top, width, panelHeight);
    w.LabelFn->setGeometry(2, 1, width - 30, 20);
    w.SpeedButtonClear->setGeometry(width - 24, 1, 20, 20);
    w.ViewBox->setGeometry(2, 22, width - 4, panelHeight - 24);
    PlaceBottomIndicator(w);
}

} // namespace

void PlaceBottomIndicator(const TailWidgets& w) {
    // Over the view's bottom right corner, clear of its scroll bars; the find bar, when open,
    // takes room under the view, so this follows the view rather than the panel.
    const int viewBottom = w.MemoTail->mapTo(w.RzPanel2, QPoint(0, w.MemoTail->height())).y();
    const bool wrapping = w.MemoTail->Wrap();
    const int indicatorX = w.RzPanel2->width() - (wrapping ? 36 : 18);
    const int bottomInset = wrapping ? 4 : 20;
    w.ImageIndicator->move(indicatorX, viewBottom + 2 - 16 - bottomInset);
    w.ImageIndicator->raise();
}

void PlaceTailWidgets(const TailWidgets& w, QWidget* central, bool running) {
    const int width = central->width();
    const int height = central->height();
    const int columnWidth = RightColumnWidth(w);
    PlaceTopPanel(w, width - columnWidth - 2, running);
    PlaceRightColumn(w, width, columnWidth);
    PlaceViewArea(w, width, height);
    w.RzStatusBar1->setGeometry(0, height - kStatusBarHeight, width, kStatusBarHeight);
}
