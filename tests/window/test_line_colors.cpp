// Levels, highlight rules and bookmarks in the real tail window (offscreen) following a real log:
// the pixels of an ERROR line in the error colour and those of an INFO line not, in day, night and
// the user's colours and with the switch off; "Highlight selection" marks its text and the rule
// survives a new window; bookmarks follow their lines while the window slides and go with them.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSpinBox>

#include "settings/highlight_rules.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "widgets/line_colors.h"
#include "widgets/tail_view.h"
#include "widgets/view_bookmarks.h"
#include "widgets/view_test_image.h"
#include "window_fixture.h"

namespace {

class TailWindowLineColors : public TailWindowTest {
protected:
    QImage Line(qint64 line) {
        QApplication::processEvents();
        return Ui().MemoTail->viewport()->grab().toImage().copy(Ui().MemoTail->LineRect(line));
    }
    void Append(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(text);
    }
    QAction* MenuItem(const QString& text) {
        for (QAction* action : Ui().PopupMenuTAILMemo->actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }
};

TEST_F(TailWindowLineColors, LevelsShowInDayNightAndUserColoursUntilTheSwitchIsTurnedOff) {
    MakeWindow();
    QFont font(QStringLiteral("Monospace"));
    font.setPixelSize(18);
    Window().Manager().List->DefFile->SetFromFont(font, 0);
    StartOn(WriteFile(QStringLiteral("app.log"), "12:00 ERROR disk failed\n12:00 INFO disk fine\n"));
    ASSERT_EQ(ViewPlain(), QStringLiteral("12:00 ERROR disk failed\n12:00 INFO disk fine"));
    TTailParam& p = Window().Params();
    const struct {
        const char* name;
        bool night;
        quint32 tail;
    } cases[] = {{"day", false, 0x00F0FFF0}, {"night", true, 0x00F0FFF0}, {"user", false, 0x0000FFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        p.switchdaycolor = c.night;
        p.daystartat = c.night ? 8 : 0;
        p.nightstartat = c.night ? 8 : 24;
        p.tailcolor_day = c.tail;
        Window().ApplyColors();
        const QPalette palette = Ui().MemoTail->palette();
        ASSERT_EQ(palette.color(QPalette::Base), StoredColor(c.night ? 0 : c.tail));
        const QColor error = LevelColorsFor(palette).error;
        EXPECT_EQ(Window().LineColors().Colors().error, error) << "from the view's palette as it is now";
        EXPECT_TRUE(HasColour(Line(0), error));
        EXPECT_FALSE(HasColour(Line(1), error));
        EXPECT_TRUE(HasColour(Line(1), palette.color(QPalette::Text)));
    }
    p.colorlinesbylevel = false;
    Window().LineColors().Refresh();
    EXPECT_FALSE(HasColour(Line(0), Window().LineColors().Colors().error));
}

TEST_F(TailWindowLineColors, HighlightSelectionMarksItsTextAndTheRuleComesBackInANewWindow) {
    const QByteArray handEdited = "; kept as I wrote it\n[\\Software\\Velmora\\Quorvel\\filter]\nFilter0=x\n";
    ASSERT_TRUE(QDir().mkpath(ConfigFolder() + QStringLiteral("/kovra")));
    WriteFile(QStringLiteral("config/kovra/kovra.ini"), handEdited);
    MakeWindow();
    const QString log = WriteFile(QStringLiteral("app.log"), "GET /a req-42 200\nGET /b req-43 200\n");
    StartOn(log);
    ASSERT_TRUE(SelectInView(QStringLiteral("req-42")));
    MenuItem(QStringLiteral("Highlight selection"))->trigger();
    ASSERT_EQ(Window().Params().highlightRules.size(), 1u);
    const HighlightRule rule = Window().Params().highlightRules[0];
    EXPECT_EQ(rule.pattern, QStringLiteral("req\\-42"));
    Ui().MemoTail->ClearSelection();
    const QColor colour = StoredColor(rule.color);
    EXPECT_TRUE(HasColour(Line(0), colour));
    EXPECT_FALSE(HasColour(Line(1), colour));

    DestroyWindow();
    QFile ini(ConfigFolder() + QStringLiteral("/kovra/kovra.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().startsWith(handEdited)) << "the other lines keep their bytes";
    MakeWindow();
    EXPECT_EQ(Window().Params().highlightRules, std::vector<HighlightRule>{rule});
    StartOn(log);
    EXPECT_TRUE(HasColour(Line(0), colour));
}

QByteArray Numbered(int from, int to) {
    QByteArray text;
    for (int i = from; i < to; ++i)
        text += QByteArray("line ") + QByteArray::number(10000 + i) + " ........\n"; // 20 bytes
    return text;
}

TEST_F(TailWindowLineColors, BookmarksFollowTheirLinesAsTheLogGrowsAndGoWhenTheyLeaveTheWindow) {
    MakeWindow();
    const QString log = WriteFile(QStringLiteral("app.log"), Numbered(0, 200));
    StartOn(log);
    Ui().RzSpinEditBufKo->setValue(1); // the last 1024 bytes: about 51 lines
    Append(log, Numbered(200, 201));
    Window().Engine().Tick();
    const qint64 count = Ui().MemoTail->LineCount();
    ASSERT_GT(count, 40);
    ASSERT_LT(count, 60);
    ViewBookmarks& bookmarks = Window().Bookmarks();
    ASSERT_TRUE(SelectInView(QStringLiteral("line 10190")));
    MenuItem(QStringLiteral("Toggle bookmark"))->trigger();
    ASSERT_TRUE(SelectInView(QStringLiteral("line 10195")));
    MenuItem(QStringLiteral("Toggle bookmark"))->trigger();
    const auto markedText = [&] {
        QStringList texts;
        for (qint64 line : bookmarks.Lines())
            texts += Ui().MemoTail->Snapshot().Line(line).left(10);
        return texts;
    };
    ASSERT_EQ(markedText(), (QStringList{QStringLiteral("line 10190"), QStringLiteral("line 10195")}));

    for (int round = 0; round < 3; ++round) {
        Append(log, Numbered(201 + round * 10, 211 + round * 10));
        Window().Engine().Tick();
        ASSERT_EQ(markedText(), (QStringList{QStringLiteral("line 10190"), QStringLiteral("line 10195")}))
            << "round " << round;
    }
    Ui().MemoTail->Select({{0, 0}, {0, 0}});
    MenuItem(QStringLiteral("Next bookmark"))->trigger();
    EXPECT_EQ(Ui().MemoTail->Snapshot().Line(Ui().MemoTail->CursorPosition().line).left(10),
              QStringLiteral("line 10190"));
    // 15 more lines: line 10190 leaves the window, 10195 is its first line, then it goes too.
    Append(log, Numbered(231, 246));
    Window().Engine().Tick();
    EXPECT_EQ(markedText(), QStringList{QStringLiteral("line 10195")});
    Append(log, Numbered(246, 260));
    Window().Engine().Tick();
    EXPECT_TRUE(bookmarks.Lines().empty());
}

} // namespace
