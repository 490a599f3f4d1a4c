#include "source/source_questions.h"

#include <mutex>

namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<SourceQuestions>& Installed() {
    static std::shared_ptr<SourceQuestions> installed;
    return installed;
}

// The installed questions, kept alive for one question even if removed meanwhile.
std::shared_ptr<SourceQuestions> Current(SourceCancel cancel) {
    if (cancel && cancel->load())
        return nullptr;
    std::lock_guard guard(Lock());
    return Installed();
}

} // namespace

void SetSourceQuestions(std::shared_ptr<SourceQuestions> questions) {
    std::lock_guard guard(Lock());
    Installed() = std::move(questions);
}

bool AskSourceConfirm(const QString& question, SourceCancel cancel) {
    const std::shared_ptr<SourceQuestions> questions = Current(cancel);
    return questions && questions->Confirm(question, cancel);
}

std::optional<QString> AskSourceSecret(const QString& prompt, SourceCancel cancel) {
    const std::shared_ptr<SourceQuestions> questions = Current(cancel);
    return questions ? questions->Secret(prompt, cancel) : std::nullopt;
}
