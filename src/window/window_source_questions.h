#pragma once
// The window's answer to a source's questions (trust a server, a password): the dialog service's
// boxes, shown on the window thread while the asking pass waits. A question that comes after a
// stop or a close (its cancel flag set), or once the window has let go, is answered No unseen;
// with nobody there the dialog gate answers No.
//
// Threads: made, detached and destroyed on the window thread; asked from any other thread.
#include <QObject>

#include "source/source_questions.h"

class DialogService;

class WindowSourceQuestions final : public QObject, public SourceQuestions {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowSourceQuestions)

public:
    // dialogs is not owned; Detach() before it goes.
    explicit WindowSourceQuestions(DialogService& dialogs);

    void Detach() { dialogs_ = nullptr; }

    bool Confirm(const QString& question, SourceCancel cancel) override;
    std::optional<QString> Secret(const QString& prompt, SourceCancel cancel) override;

private:
    template <class Answer> auto OnWindowThread(Answer answer) -> decltype(answer());

    DialogService* dialogs_;
};
