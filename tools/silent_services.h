#pragma once
// Services for a tail window that nobody answers: dialogs cancelled, no sound, no mail, no
// notifications. For the programs that run the window offscreen (pictures, benchmarks).
#include <functional>

#include "platform/alert_notifier.h"
#include "platform/dialogs.h"
#include "platform/mail_sender.h"
#include "platform/sound_player.h"

class SilentDialogs final : public DialogService {
public:
    void ShowMessage(Icon, const QString&) override {}
    bool AskYesNo(Icon, const QString&) override { return false; }
    bool AskSecret(const QString&, QString*) override { return false; }
    QString ChooseOpenFile(const QString&) override { return {}; }
    bool ChooseFont(QFont&, QColor*) override { return false; }
    bool ChooseColor(QColor&) override { return false; }
    bool ChoosePrint(QPrinter&, bool, bool*) override { return false; }
};

class NoSound final : public SoundPlayer {
public:
    void Play(const QString&) override {}
};

class NoMail final : public MailSender {
public:
    bool Send(const MailMessage&, QString*) override { return true; }
};

class NoNotifications final : public AlertNotifier {
public:
    void Notify(AlertKind, const QString&, const QString&) override {}
    void SetActivationHandler(std::function<void()>) override {}
};
