// Closing the window: with nobody there (a quit signal, the session manager) no box is shown and
// nothing waits, open dialogs are dismissed and failures are written to standard error; closed by
// a person, a failure is shown in its box and written out too.
#include <cstdio>

#include <QDialog>
#include <QDir>
#include <QTemporaryFile>
#include <QTimer>
#include <unistd.h>

#include "platform/dialog_gate.h"
#include "window_fixture.h"
#include "window_parts/wait_until.h"

namespace {

const QString kSaveFailure = QStringLiteral("Unable to save Kovra global parameters in registry. Err=");

// Standard error of this process, into a file while the object lives.
class StandardErrorCapture final {
public:
    StandardErrorCapture() {
        EXPECT_TRUE(file_.open());
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { Restore(); }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    QString Text() {
        Restore();
        file_.seek(0);
        return QString::fromLocal8Bit(file_.readAll());
    }

private:
    void Restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    QTemporaryFile file_;
    int saved_ = -1;
};

class TailWindowClosing : public TailWindowTest {
protected:
    // The global parameters cannot be saved: a folder stands where their file goes.
    void BlockParameterSave() {
        ASSERT_TRUE(QDir().mkpath(ConfigFolder() + QStringLiteral("/kovra/registry.reg")));
    }
};

TEST_F(TailWindowClosing, NobodyThereDismissesDialogsAndWritesFailuresOut) {
    BlockParameterSave();
    MakeWindow();
    QDialog open;
    QTimer::singleShot(0, &Window(), [this] { Window().CloseUnattended(); });
    EXPECT_EQ(open.exec(), QDialog::Rejected) << "the open dialog was dismissed";
    EXPECT_TRUE(WaitUntil([this] { return !Window().isVisible(); })) << "the window closed";

    StandardErrorCapture standardError;
    // A question now takes its safe answer without reaching a box (the fake fails on any).
    EXPECT_FALSE(Window().Dialogs().AskYesNo(DialogService::Icon::Warning, QStringLiteral("Delete it?")));
    DestroyWindow();
    const QString written = standardError.Text();
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'|').toStdString();
    EXPECT_TRUE(written.contains(QStringLiteral("kovra: Delete it? - nobody to answer: No\n")))
        << written.toStdString();
    EXPECT_TRUE(written.contains(QStringLiteral("kovra: ") + kSaveFailure)) << written.toStdString();
}

TEST_F(TailWindowClosing, ClosedByAPersonAFailureIsShownAndWrittenOut) {
    BlockParameterSave();
    MakeWindow();
    Window().close();
    StandardErrorCapture standardError;
    DestroyWindow();
    const QString written = standardError.Text();
    ASSERT_EQ(dialogs_.Texts().size(), 1) << dialogs_.Texts().join(u'|').toStdString();
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith(kSaveFailure)) << dialogs_.Texts()[0].toStdString();
    EXPECT_TRUE(written.contains(QStringLiteral("kovra: ") + dialogs_.Texts()[0])) << written.toStdString();
}

} // namespace
