#pragma once
// A DialogService for tests: records every box shown, in order, and answers Yes/No questions from
// answers the test queued beforehand. A question with no queued answer fails the test (and is
// answered No), so an unexpected question never passes unnoticed. Test thread only.
#include <deque>
#include <vector>

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "platform/dialogs.h"

class FakeDialogService final : public DialogService {
public:
    enum class Kind { Message, Question };
    struct Shown {
        Kind kind;
        Icon icon;
        QString text;
    };

    void QueueAnswer(bool yes) { answers_.push_back(yes); }
    std::size_t UnusedAnswers() const { return answers_.size(); }

    const std::vector<Shown>& AllShown() const { return shown_; }
    QStringList Texts() const {
        QStringList texts;
        for (const Shown& s : shown_)
            texts += s.text;
        return texts;
    }

    void ShowMessage(Icon icon, const QString& text) override {
        shown_.push_back({Kind::Message, icon, text});
    }

    bool AskYesNo(Icon icon, const QString& text) override {
        shown_.push_back({Kind::Question, icon, text});
        if (answers_.empty()) {
            ADD_FAILURE() << "Unexpected question: " << text.toStdString();
            return false;
        }
        const bool yes = answers_.front();
        answers_.pop_front();
        return yes;
    }

    // The next file chooser answers with this path (empty: cancelled).
    void QueueFileChoice(const QString& path) { files_.push_back(path); }
    QStringList FileFilters() const { return filters_; }

    QString ChooseOpenFile(const QString& filter) override {
        filters_ += filter;
        if (files_.empty()) {
            ADD_FAILURE() << "Unexpected file chooser: " << filter.toStdString();
            return {};
        }
        const QString path = files_.front();
        files_.pop_front();
        return path;
    }

private:
    std::deque<bool> answers_;
    std::deque<QString> files_;
    QStringList filters_;
    std::vector<Shown> shown_;
};
