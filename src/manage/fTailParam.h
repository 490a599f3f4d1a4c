#pragma once
// TFormTailParam: the parameters dialog, "KOVRA - Configuration panel". Edits the live global
// parameters it is given (not owned): the controls are set from them when the dialog is first
// shown and written back by OK only. It also sends a test e-mail with the values in its fields,
// adds or removes the program's "Open with" entry at the moment its box changes, and shows the
// program's command line, identity and versions. Modal, created for each opening and freed after
// it; the opener stops the tail before and stores the parameters after an OK. Window thread only.
#include <QDialog>

#include "manage/fTailParam_widgets.h"

class DialogService;
class MailSender;
class TTailParam;

// Not owned; both must outlive the dialog.
struct TailParamServices {
    DialogService* dialogs = nullptr;
    MailSender* mail = nullptr; // the test e-mail
};

class TFormTailParam final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormTailParam)

public:
    TFormTailParam(TTailParam& params, TailParamServices services, QWidget* parent = nullptr);
    ~TFormTailParam() override;

    const TailParamWidgets& Widgets() const { return w_; }
    // The full path of the "Open with" entry while the box is checked, else empty.
    QString LinkPath() const { return linkPath_; }

    // Every way of closing asks first while the thread box is unchecked; No keeps the dialog open.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectControls();
    void LoadControls();
    void LoadInformation();
    void WriteControls();
    void OnOk();
    void OnSendToToggled(bool checked);
    void ShowLinkPath();
    void OnBrowseSound(QLineEdit* field);
    void OnChooseFont();
    void OnTestMail();
    // Sends on a worker while this thread keeps painting (user input held back); false with
    // *error on failure.
    bool SendRepainting(const struct MailMessage& message, QString* error);

    TTailParam& params_;
    TailParamServices services_;
    TailParamWidgets w_;
    QString linkPath_;
    bool loaded_ = false;
    bool sending_ = false;
};
