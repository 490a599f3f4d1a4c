#pragma once
// A DialogService for tests: records every box shown, in order, and answers Yes/No questions from
// answers the test queued beforehand. A question with no queued answer fails the test (and is
// answered No), so an unexpected question never passes unnoticed. Test thread only.
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QColor>
#include <QFont>
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

    // The next secret box answers with this text (nullopt: cancelled).
    void QueueSecret(std::optional<QString> secret) { secrets_.push_back(std::move(secret)); }

    bool AskSecret(const QString& text, QString* secret) override {
        shown_.push_back({Kind::Question, Icon::Information, text});
        if (secrets_.empty()) {
            ADD_FAILURE() << "Unexpected secret box: " << text.toStdString();
            return false;
        }
        const std::optional<QString> answer = secrets_.front();
        secrets_.pop_front();
        if (answer)
            *secret = *answer;
        return answer.has_value();
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

    // The next font chooser answers with this font and colour (nullopt: cancelled).
    struct FontChoice {
        QFont font;
        QColor color;
    };
    void QueueFontChoice(std::optional<FontChoice> choice) { fonts_.push_back(std::move(choice)); }
    // The font each font chooser was preset with.
    const std::vector<QFont>& FontPresets() const { return fontPresets_; }

    bool ChooseFont(QFont& font, QColor* color) override {
        fontPresets_.push_back(font);
        if (fonts_.empty()) {
            ADD_FAILURE() << "Unexpected font chooser";
            return false;
        }
        const std::optional<FontChoice> choice = fonts_.front();
        fonts_.pop_front();
        if (!choice)
            return false;
        font = choice->font;
        if (color)
            *color = choice->color;
        return true;
    }

    // The next colour chooser answers with this colour (invalid: cancelled).
    void QueueColorChoice(const QColor& color) { colors_.push_back(color); }

    bool ChooseColor(QColor& color) override {
        if (colors_.empty()) {
            ADD_FAILURE() << "Unexpected colour chooser";
            return false;
        }
        const QColor chosen = colors_.front();
        colors_.pop_front();
        if (!chosen.isValid())
            return false;
        color = chosen;
        return true;
    }

    // Answers the print dialog: sets the printer up (e.g. to a PDF file) and the selection choice;
    // false cancels. The test's own code calls QPrinter, so only tests that print link PrintSupport.
    using PrintAnswer = std::function<bool(QPrinter& printer, bool selectionOffered, bool* selectionOnly)>;
    void SetPrintAnswer(PrintAnswer answer) { printAnswer_ = std::move(answer); }
    int PrintDialogsShown() const { return printDialogs_; }

    bool ChoosePrint(QPrinter& printer, bool selectionOffered, bool* selectionOnly) override {
        ++printDialogs_;
        if (!printAnswer_) {
            ADD_FAILURE() << "Unexpected print dialog";
            return false;
        }
        return printAnswer_(printer, selectionOffered, selectionOnly);
    }

private:
    std::deque<bool> answers_;
    std::deque<std::optional<QString>> secrets_;
    std::deque<std::optional<FontChoice>> fonts_;
    std::vector<QFont> fontPresets_;
    std::deque<QColor> colors_;
    PrintAnswer printAnswer_;
    int printDialogs_ = 0;
    std::deque<QString> files_;
    QStringList filters_;
    std::vector<Shown> shown_;
};
