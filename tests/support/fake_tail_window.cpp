#include "support/fake_tail_window.h"

#include <algorithm>

#include <QCoreApplication>
#include <QThread>

FakeTailWindow::FakeTailWindow() : windowThread_(QThread::currentThread()) {}

void FakeTailWindow::Check() const {
    if (QThread::currentThread() != windowThread_)
        const_cast<FakeTailWindow*>(this)->calledOffWindowThread = true;
}

QStringList FakeTailWindow::ViewLines() const {
    QStringList lines;
    for (qint64 line = 0; line < view.LineCount(); ++line)
        lines << view.Line(line);
    return lines;
}

QString FakeTailWindow::ViewText() const {
    return view.Text();
}

namespace {

ViewPosition PositionOf(const ViewSnapshot& view, qsizetype crlfPosition) {
    qsizetype remaining = crlfPosition;
    for (qint64 line = 0; line < view.LineCount(); ++line) {
        const qsizetype length = view.LineLength(line);
        if (remaining <= length)
            return {line, remaining};
        remaining -= length + 2;
    }
    return {view.LineCount(), 0};
}

} // namespace

void FakeTailWindow::SelectText(qsizetype start, qsizetype length) {
    selection = {PositionOf(view, start), PositionOf(view, start + length)};
}

qsizetype FakeTailWindow::SelectionStart() const {
    qsizetype position = 0;
    for (qint64 line = 0; line < selection.from.line; ++line)
        position += view.LineLength(line) + 2;
    return position + selection.from.column;
}

int FakeTailWindow::ReadBufferKo() const {
    Check();
    return readBufferKo;
}
void FakeTailWindow::SetReadBufferKo(int kilobytes) {
    Check();
    readBufferKo = kilobytes;
}
int FakeTailWindow::Offset() const {
    Check();
    return offset;
}
void FakeTailWindow::SetOffset(int bytes) {
    Check();
    offset = bytes;
}
bool FakeTailWindow::AutoOffset() const {
    Check();
    return autoOffset;
}
void FakeTailWindow::SetAutoOffset(bool on) {
    Check();
    autoOffset = on;
}
bool FakeTailWindow::FilterOn() const {
    Check();
    return filterOn;
}
bool FakeTailWindow::AlertOn() const {
    Check();
    return alertOn;
}
bool FakeTailWindow::ReverseDnsOn() const {
    Check();
    return reverseDns;
}
bool FakeTailWindow::KillLine() const {
    Check();
    return killLine;
}
void FakeTailWindow::SetKillLine(bool on) {
    Check();
    killLine = on;
}
bool FakeTailWindow::KillSpace() const {
    Check();
    return killSpace;
}
void FakeTailWindow::SetKillSpace(bool on) {
    Check();
    killSpace = on;
}
bool FakeTailWindow::UseTabs() const {
    Check();
    return useTabs;
}
void FakeTailWindow::SetUseTabs(bool on) {
    Check();
    useTabs = on;
}
void FakeTailWindow::SetWrap(bool on) {
    Check();
    wrap = on;
}
int FakeTailWindow::TabWidth() const {
    Check();
    return tabWidth;
}
void FakeTailWindow::SetTabWidth(int dialogUnits) {
    Check();
    tabWidth = dialogUnits;
}
int FakeTailWindow::ContextLines() const {
    Check();
    return contextLines;
}
QString FakeTailWindow::FilterPattern() const {
    Check();
    return filterPattern;
}
QString FakeTailWindow::AlertPattern() const {
    Check();
    return alertPattern;
}
bool FakeTailWindow::FilterInverted() const {
    Check();
    return filterInverted;
}
bool FakeTailWindow::AlertInverted() const {
    Check();
    return alertInverted;
}
QString FakeTailWindow::FileNameText() const {
    Check();
    return fileNameText;
}
void FakeTailWindow::SetFileNameText(const QString& text) {
    Check();
    fileNameText = text;
}
void FakeTailWindow::SetFileNameEditVisible(bool visible) {
    Check();
    fileNameEditVisible = visible;
}
TailViewState FakeTailWindow::ViewState() const {
    Check();
    return {view, firstVisible, linesThatFit, selection};
}

void FakeTailWindow::PublishView(const TailViewUpdate& update) {
    Check();
    view = update.snapshot;
    const qint64 last = std::max<qint64>(0, view.LineCount() - linesThatFit);
    firstVisible = update.scrollToEnd ? last : std::clamp<qint64>(update.firstVisibleLine, 0, last);
    selection = update.selection.value_or(ViewRange{});
    if (view.IsEmpty()) {
        events << QStringLiteral("View:clear");
    } else {
        ++replaceCount;
        events << QStringLiteral("View:replace");
    }
}

void FakeTailWindow::ApplyTabStops(int dialogUnits) {
    Check();
    tabStops.push_back(dialogUnits);
}
void FakeTailWindow::ApplyDefaultTabStops() {
    Check();
    tabStops.push_back(0);
}
void FakeTailWindow::ApplyViewFont(const QFont& font, quint32) {
    Check();
    viewFont = font;
}
void FakeTailWindow::SetBottomIndicator(bool bottom) {
    Check();
    atBottom = bottom;
}

void FakeTailWindow::SetStatePane(const QString& text) {
    Check();
    statePane = text;
    stateTexts << text;
    events << QLatin1String("State:") + text;
    if (onState)
        onState(text);
}

void FakeTailWindow::SetTimePane(const QString& text) {
    Check();
    timePane = text;
    events << QLatin1String("Time:") + text;
}
void FakeTailWindow::SetInfoPane(const QString& text) {
    Check();
    infoPane = text;
    events << QLatin1String("Info:") + text;
}

void FakeTailWindow::SetFileStatus(const QString& filePaneText, const QString& infoPaneText) {
    Check();
    filePane = filePaneText;
    infoPane = infoPaneText;
    events << QLatin1String("File:") + filePaneText << QLatin1String("Info:") + infoPaneText;
}

void FakeTailWindow::SetFileLabel(const QString& text) {
    Check();
    fileLabel = text;
}
void FakeTailWindow::SetApplicationTitle(const QString& text) {
    Check();
    appTitle = text;
}
void FakeTailWindow::SetTrayHint(const QString& text) {
    Check();
    trayHint = text;
}
void FakeTailWindow::AdvanceTrayImage() {
    Check();
    trayImage = (trayImage + 1) % 4;
}
void FakeTailWindow::SetStartMenuCaption(const QString& text) {
    Check();
    startCaption = text;
}
void FakeTailWindow::SetStartedLayout(bool started) {
    Check();
    startedLayout = started;
}
void FakeTailWindow::SetStartStopButtons(bool started) {
    Check();
    startButtonVisible = !started;
}
void FakeTailWindow::ApplyColors() {
    Check();
    ++applyColorsCount;
}
void FakeTailWindow::SetBusyCursor(bool busy) {
    Check();
    busyCursor = busy;
}
QSize FakeTailWindow::WindowOuterSize() const {
    Check();
    return outerSize;
}
void FakeTailWindow::SetWindowOuterSize(const QSize& size) {
    Check();
    outerSize = size;
}

void FakeTailWindow::ProcessPendingEvents() {
    Check();
    if (processEvents)
        QCoreApplication::processEvents();
}

void FakeTailWindow::InsertAlertLine(const QString& line) {
    Check();
    alertLines.prepend(line);
}
bool FakeTailWindow::AlertsWindowVisible() const {
    Check();
    return alertsVisible;
}
void FakeTailWindow::ShowAlertsWindow() {
    Check();
    alertsVisible = true;
}
void FakeTailWindow::RestoreWindow() {
    Check();
    ++restoreCount;
}
bool FakeTailWindow::IsMinimized() const {
    Check();
    return minimized;
}
void FakeTailWindow::PlaySound(const QString& fileName) {
    Check();
    sounds << fileName;
}
