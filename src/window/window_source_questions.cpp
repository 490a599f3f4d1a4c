#include "window/window_source_questions.h"

#include <QThread>

#include "platform/dialogs.h"

WindowSourceQuestions::WindowSourceQuestions(DialogService& dialogs) : dialogs_(&dialogs) {}

template <class Answer> auto WindowSourceQuestions::OnWindowThread(Answer answer) -> decltype(answer()) {
    if (QThread::currentThread() == thread())
        return answer();
    decltype(answer()) result{};
    QMetaObject::invokeMethod(this, answer, Qt::BlockingQueuedConnection, &result);
    return result;
}

bool WindowSourceQuestions::Confirm(const QString& question, SourceCancel cancel) {
    return OnWindowThread([&] {
        return dialogs_ && !(cancel && cancel->load()) &&
               dialogs_->AskYesNo(DialogService::Icon::Warning, question);
    });
}

std::optional<QString> WindowSourceQuestions::Secret(const QString& prompt, SourceCancel cancel) {
    return OnWindowThread([&]() -> std::optional<QString> {
        QString secret;
        if (dialogs_ && !(cancel && cancel->load()) && dialogs_->AskSecret(prompt, &secret))
            return secret;
        return std::nullopt;
    });
}
