// A settings folder that takes no more bytes (a full disk): opening the file manager stores the
// window size on the way without a word, and the save the user asks for with OK says it failed,
// once.
#include <csignal>

#include <sys/resource.h>

#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "manage/fTailManager.h"
#include "manage_fixture.h"

namespace {

// Writes to files fail with EFBIG while it lives, as on a full disk (the signal ignored).
class NoRoomForFiles final {
public:
    NoRoomForFiles() {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoRoomForFiles() { ::setrlimit(RLIMIT_FSIZE, &old_); }
    NoRoomForFiles(const NoRoomForFiles&) = delete;
    NoRoomForFiles& operator=(const NoRoomForFiles&) = delete;

private:
    rlimit old_{};
};

class ManagerSaveFailure : public TailWindowTest {};

TEST_F(ManagerSaveFailure, OnlyTheSaveTheUserAskedForSaysItFailed) {
    const QString followed = WriteFile(QStringLiteral("a.log"), "one\n");
    TTailFileList list;
    FillList(list, {followed + QStringLiteral("||0")});
    ASSERT_TRUE(list.SaveList());
    MakeWindow();
    StartOn(followed);
    ASSERT_NE(Window().Manager().GetCurrentFile(), nullptr);
    const NoRoomForFiles full;
    int boxesWhileOpen = -1;
    OnNextModal<TFormFileManager>([&](TFormFileManager& dialog) {
        boxesWhileOpen = int(dialogs_.Texts().size());
        QTest::mouseClick(dialog.Widgets().ok, Qt::LeftButton);
    });
    QTest::mouseClick(Ui().SpeedButtonManager, Qt::LeftButton);
    EXPECT_EQ(boxesWhileOpen, 0) << "the stop before the dialog stored the window size silently";
    ASSERT_EQ(dialogs_.Texts().size(), 1);
    EXPECT_TRUE(dialogs_.Texts()[0].startsWith(QStringLiteral("TTailFileManager.SaveToRegistry:")))
        << dialogs_.Texts()[0].toStdString();
}

} // namespace
