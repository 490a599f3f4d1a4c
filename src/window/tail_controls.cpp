#include "window/tail_controls.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint()))
        emit released(event->button());
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

StatusPane::StatusPane(QWidget* parent) : QLabel(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setContentsMargins(3, 0, 3, 0);
    setTextFormat(Qt::PlainText);
}

void StatusPane::SetShrinkable(bool shrinkable) {
    shrinkable_ = shrinkable;
    updateGeometry();
}

QSize StatusPane::minimumSizeHint() const {
    constexpr int kShrunkWidth = 40;
    const QSize whole = sizeHint();
    return shrinkable_ ? QSize(qMin(whole.width(), kShrunkWidth), whole.height()) : whole;
}

bool StatusPane::TextCut() const {
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void StatusPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect();
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

QString StatusPane::ToolTipText() const {
    if (!TextCut())
        return toolTip();
    return toolTip().isEmpty() ? text() : text() + u'\n' + toolTip();
}

bool StatusPane::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && TextCut()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), ToolTipText(), this);
        return true;
    }
    return QLabel::event(event);
}

void StatusPane::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

FileNamePanel::FileNamePanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

void FileNamePanel::SetTexts(const QString& alias, const QString& fileName) {
    alias_ = alias;
    fileName_ = fileName;
    update();
}

void FileNamePanel::SetFontName(const QString& family) {
    QFont f = font();
    f.setFamily(family);
    setFont(f);
    update();
}

void FileNamePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inner = rect().adjusted(2, 2, -2, -2);
    painter.fillRect(inner, palette().color(QPalette::Base));
    QRect textRect = inner.adjusted(1, 0, -1, 0);
    const QFontMetrics metrics(font());
    if (!alias_.isEmpty()) {
        const QString head = alias_ + QStringLiteral(" - ");
        painter.setPen(QColor(0x00, 0x80, 0x00));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, head);
        textRect.setLeft(textRect.left() + metrics.horizontalAdvance(head));
    }
    painter.setPen(Qt::black);
    const QString shown = metrics.elidedText(fileName_, Qt::ElideRight, qMax(0, textRect.width()));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
