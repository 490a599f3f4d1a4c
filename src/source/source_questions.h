#pragma once
// How a source asks the person at the window: whether to trust a server it does not know, a
// password, a key's passphrase. The window installs the one that shows its dialogs; with none
// installed, or with the cancel flag set (a stop, a close), every question is answered No.
//
// Threads: asked from the thread of a pass, which waits as long as the person takes; the
// installed object answers on the window thread. Install and remove on the window thread.
#include <memory>
#include <optional>

#include <QString>

#include "source/source.h"

class SourceQuestions {
public:
    virtual ~SourceQuestions() = default;
    // Yes or No.
    virtual bool Confirm(const QString& question, SourceCancel cancel) = 0;
    // What was typed, not shown as typed; nullopt when refused.
    virtual std::optional<QString> Secret(const QString& prompt, SourceCancel cancel) = 0;
};

// Replaces the installed questions (null: nobody answers).
void SetSourceQuestions(std::shared_ptr<SourceQuestions> questions);

bool AskSourceConfirm(const QString& question, SourceCancel cancel);
std::optional<QString> AskSourceSecret(const QString& prompt, SourceCancel cancel);
