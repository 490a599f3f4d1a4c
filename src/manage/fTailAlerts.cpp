#include "manage/fTailAlerts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

TFormAlerts::TFormAlerts(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormAlerts"));
    setWindowTitle(QStringLiteral("Alerts Window"));
    resize(520, 260);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("MemoAlerts"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_clear->setObjectName(QStringLiteral("ButtonClear"));
    m_hide = new QPushButton(QStringLiteral("Hide"), this);
    m_hide->setObjectName(QStringLiteral("ButtonHide"));
    connect(m_clear, &QPushButton::clicked, this, &TFormAlerts::ClearLines);
    connect(m_hide, &QPushButton::clicked, this, &TFormAlerts::HideWindow);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    buttons->addWidget(m_hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
}

void TFormAlerts::AddAlertLine(const QString& text) {
    QTextCursor cursor(m_text->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(m_text->document()->isEmpty() ? text : text + u'\n');
}

void TFormAlerts::ShowIfHidden() {
    if (isHidden())
        show();
}

void TFormAlerts::ShowAtTopLeft() {
    move(0, 0);
    show();
    raise();
}

void TFormAlerts::HideWindow() {
    hide();
}

void TFormAlerts::ClearLines() {
    m_text->clear();
}

QStringList TFormAlerts::Lines() const {
    if (m_text->document()->isEmpty())
        return {};
    return m_text->toPlainText().split(u'\n');
}

void TFormAlerts::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}
