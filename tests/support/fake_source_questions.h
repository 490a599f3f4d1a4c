#pragma once
// SourceQuestions for tests, installed while it lives: records each question and answers from
// what the test queued (a question with nothing queued fails the test and is answered No).
// Asked from the pass's thread, so everything is behind a lock.
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include <QStringList>

#include <gtest/gtest.h>

#include "source/source_questions.h"

class FakeSourceQuestions final : public SourceQuestions {
public:
    static std::shared_ptr<FakeSourceQuestions> Install() {
        auto questions = std::make_shared<FakeSourceQuestions>();
        SetSourceQuestions(questions);
        return questions;
    }
    ~FakeSourceQuestions() override = default;

    void QueueConfirm(bool yes) {
        std::lock_guard guard(lock_);
        confirms_.push_back(yes);
    }
    void QueueSecret(std::optional<QString> secret) {
        std::lock_guard guard(lock_);
        secrets_.push_back(std::move(secret));
    }
    QStringList Asked() const {
        std::lock_guard guard(lock_);
        return asked_;
    }

    bool Confirm(const QString& question, SourceCancel) override {
        std::lock_guard guard(lock_);
        asked_ += question;
        if (confirms_.empty()) {
            ADD_FAILURE() << "Unexpected question: " << question.toStdString();
            return false;
        }
        const bool yes = confirms_.front();
        confirms_.pop_front();
        return yes;
    }

    std::optional<QString> Secret(const QString& prompt, SourceCancel) override {
        std::lock_guard guard(lock_);
        asked_ += prompt;
        if (secrets_.empty()) {
            ADD_FAILURE() << "Unexpected secret asked: " << prompt.toStdString();
            return std::nullopt;
        }
        std::optional<QString> secret = secrets_.front();
        secrets_.pop_front();
        return secret;
    }

private:
    mutable std::mutex lock_;
    std::deque<bool> confirms_;
    std::deque<std::optional<QString>> secrets_;
    QStringList asked_;
};
