// The small clear button above the view: Ctrl+left truncates the shown file, Shift+left deletes
// it (each after a Yes), a plain left click clears the view, a right click restores the full view.
// The modifiers are those of the click.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "engine/tail_state.h"
#include "window/tail_controls.h"
#include "window_fixture.h"

namespace {

const QByteArray kContent = "line one\nline two\n";

class TailWindowClearButton : public TailWindowTest {
protected:
    // A stopped window whose view and LabelFn show the file, as a pass left them.
    QString ShowFile(const QString& name) {
        const QString path = WriteFile(name, kContent);
        StartOn(path);
        ClickStop();
        EXPECT_EQ(Ui().LabelFn->text(), path);
        EXPECT_TRUE(ViewPlain().contains(QStringLiteral("line two")));
        return path;
    }
    void ClickClear(Qt::KeyboardModifiers modifiers) { ClickOn(Ui().SpeedButtonClear, modifiers); }
    static QString ClearQuestion(const QString& path) {
        return QStringLiteral("WARNING ! Do you really want to clear physically the file [") + path +
               QStringLiteral("] ?");
    }
    static QString DeleteQuestion(const QString& path) {
        return QStringLiteral("WARNING ! Do you really want to DELETE physically the file [") + path +
               QStringLiteral("] ?");
    }
};

TEST_F(TailWindowClearButton, ModifiedLeftClicksAskThenTruncateOrDelete) {
    struct Case {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        bool yes;
        bool deleteQuestion;
        bool existsAfter;
        qint64 sizeAfter; // when it exists
    };
    const qint64 full = kContent.size();
    const Case cases[] = {
        {"Ctrl, No", Qt::ControlModifier, false, false, true, full},
        {"Ctrl, Yes", Qt::ControlModifier, true, false, true, 0},
        {"Shift, No", Qt::ShiftModifier, false, true, true, full},
        {"Shift, Yes", Qt::ShiftModifier, true, true, false, 0},
        {"Ctrl+Shift: Ctrl wins", Qt::ControlModifier | Qt::ShiftModifier, true, false, true, 0},
    };
    MakeWindow();
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = ShowFile(QStringLiteral("case%1.log").arg(index++));
        const QString viewBefore = ViewPlain();
        const std::size_t shownBefore = dialogs_.AllShown().size();
        dialogs_.QueueAnswer(c.yes);

        ClickClear(c.modifiers);

        ASSERT_EQ(dialogs_.AllShown().size(), shownBefore + 1) << "exactly one question";
        const auto& asked = dialogs_.AllShown().back();
        EXPECT_EQ(asked.kind, FakeDialogService::Kind::Question);
        EXPECT_EQ(asked.icon, DialogService::Icon::Warning);
        EXPECT_EQ(asked.text, c.deleteQuestion ? DeleteQuestion(path) : ClearQuestion(path));
        const QFileInfo after(path);
        EXPECT_EQ(after.exists(), c.existsAfter);
        if (c.existsAfter) {
            EXPECT_EQ(after.size(), c.sizeAfter);
        }
        EXPECT_EQ(ViewPlain(), viewBefore) << "the file commands leave the view alone";
        EXPECT_EQ(Window().TailStatus(), tsStop);
    }
    EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
}

TEST_F(TailWindowClearButton, TruncatingWhileRunningKeepsTheTailRunning) {
    MakeWindow();
    const QString path = WriteFile(QStringLiteral("running.log"), kContent);
    StartOn(path);
    dialogs_.QueueAnswer(true);
    ClickClear(Qt::ControlModifier);
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(Window().TailStatus(), tsStart);
    ASSERT_EQ(dialogs_.Texts(), QStringList{ClearQuestion(path)});
}

TEST_F(TailWindowClearButton, PromptInLabelNamesNoFileSoNothingIsAsked) {
    MakeWindow();
    ASSERT_EQ(Ui().LabelFn->text(), QStringLiteral("Please choose a file to tail and press Start !"));
    for (const Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::ControlModifier | Qt::ShiftModifier})
        ClickClear(modifiers);
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'\n').toStdString();
}

TEST_F(TailWindowClearButton, HintListsTheFourUsesOnFourLines) {
    MakeWindow();
    EXPECT_EQ(Ui().SpeedButtonClear->toolTip().split(u'\n'),
              (QStringList{"Left click : Clear the window ", "Ctrl+Left click : Clear the file ",
                           "Shit+Left click : Delete the file", "Right click : restore full view"}));
}

TEST_F(TailWindowClearButton, PlainClicksClearTheViewOrRequestItAndRightRestoresFullView) {
    MakeWindow();
    const QString path = ShowFile(QStringLiteral("plain.log"));

    // Stopped: the view empties at once; the file is untouched.
    ClickClear(Qt::NoModifier);
    EXPECT_TRUE(ViewPlain().isEmpty());
    EXPECT_EQ(QFileInfo(path).size(), kContent.size());
    EXPECT_FALSE(Window().Engine().ClearRequested().load());

    // Running: the request is left for the pass.
    StartOn(path);
    ASSERT_FALSE(Window().Engine().ClearRequested().load());
    ClickClear(Qt::NoModifier);
    EXPECT_TRUE(Window().Engine().ClearRequested().load());
    EXPECT_FALSE(ViewPlain().isEmpty()) << "the pass clears the view, not the click";

    // Right button released: the full view again.
    Window().Engine().HidePoint().store(12);
    ReleaseOn(Ui().SpeedButtonClear, Qt::RightButton);
    EXPECT_EQ(Window().Engine().HidePoint().load(), 0);
    EXPECT_EQ(QFileInfo(path).size(), kContent.size());
    EXPECT_TRUE(dialogs_.AllShown().empty()) << dialogs_.Texts().join(u'\n').toStdString();
}

} // namespace
