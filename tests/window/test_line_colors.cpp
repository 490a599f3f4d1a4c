// Levels, highlight rules and bookmarks in the real tail window (offscreen) following a real log:
// the pixels of an ERROR line in the error colour and those of an INFO line not, in day, night and
// the user's colours and with the switch off; "Highlight selection" marks its text under the find
// bar's match, a whole-line rule its rows under the filter's mark, and the rule survives a new
// window; bookmarks follow their lines while the window slides and go with them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include "settings/highlight_rules.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "widgets/find_bar.h"
#include "widgets/line_colors.h"
#include "widgets/mark_colors.h"
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
    // Glyph stems wide enough for pixels in the exact colour; black text.
    QFont BigFont() {
        QFont font(QStringLiteral("Monospace"));
        font.setPixelSize(18);
        Window().Manager().List->DefFile->SetFromFont(font, 0);
        return font;
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
    const QFont font = BigFont();
    StartOn(WriteFile(QStringLiteral("app.log"), "12:00 ERROR disk failed\n12:00 INFO disk fine\n"
                                                 "12:00 WARN disk slow\n12:00 DEBUG disk poll\n"));
    TTailParam& p = Window().Params();
    const struct {
        const char* name;
        bool night;
        quint32 tail;
        quint32 font;
    } cases[] = {{"day", false, 0x00F0FFF0, 0},
                 {"night", true, 0x00F0FFF0, 0},
                 {"user", false, 0x00600000, 0x0000FFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        p.switchdaycolor = c.night;
        p.daystartat = c.night ? 8 : 0;
        p.nightstartat = c.night ? 8 : 24; // never day, or always
        p.tailcolor_day = c.tail;
        Window().Manager().List->DefFile->SetFromFont(font, c.font);
        Window().ApplyColors();
        const QColor base = Ui().MemoTail->palette().color(QPalette::Base);
        const QColor text = Ui().MemoTail->palette().color(QPalette::Text);
        ASSERT_EQ(base, StoredColor(c.night ? c.font : c.tail));
        const LevelColors& levels = Window().LineColors().Colors();
        EXPECT_EQ(levels.error, LevelColorsFor(Ui().MemoTail->palette()).error) << "the view's palette now";
        EXPECT_GE(ContrastRatio(levels.error, base), std::min(4.5, 0.9 * ContrastRatio(text, base)));
        EXPECT_GT(levels.error.red(), levels.error.green() + 60) << "the error family is red";
        EXPECT_GT(levels.warning.red(), levels.warning.blue() + 60) << "warnings are amber";
        EXPECT_GE(ContrastRatio(levels.debug, base), 3.0);
        EXPECT_LT(ContrastRatio(levels.debug, base), ContrastRatio(text, base)) << "debug is dimmed";
        EXPECT_TRUE(HasColour(Line(0), levels.error));
        EXPECT_FALSE(HasColour(Line(1), levels.error));
        EXPECT_TRUE(HasColour(Line(1), text));
        EXPECT_TRUE(HasColour(Line(2), levels.warning));
        EXPECT_TRUE(HasColour(Line(3), levels.debug));
    }
    p.colorlinesbylevel = false;
    Window().LineColors().Refresh();
    EXPECT_FALSE(HasColour(Line(0), Window().LineColors().Colors().error));
}

TEST_F(TailWindowLineColors, RulesMarkTheirMatchOrLineUnderTheFilterAndComeBackInANewWindow) {
    const QByteArray handEdited = "; kept as I wrote it\n[other tool]\nwidth=12\n";
    ASSERT_TRUE(QDir().mkpath(ConfigFolder() + QStringLiteral("/kovra")));
    WriteFile(QStringLiteral("config/kovra/kovra.ini"), handEdited);
    MakeWindow();
    BigFont();
    const QString log = WriteFile(QStringLiteral("app.log"), "GET /a req-42 200\nGET /b req-43 200\n");
    StartOn(log);
    ASSERT_TRUE(SelectInView(QStringLiteral("req-42")));
    MenuItem(QStringLiteral("Highlight selection"))->trigger();
    ASSERT_EQ(Window().Params().highlightRules.size(), 1u);
    const HighlightRule rule = Window().Params().highlightRules[0];
    EXPECT_EQ(rule.pattern, QStringLiteral("req\\-42"));
    Ui().MemoTail->ClearSelection();
    const QColor colour = StoredColor(rule.color);
    const QImage first = Line(0);
    EXPECT_TRUE(HasColour(first, colour));
    EXPECT_FALSE(HasColour(first.copy(0, 0, 30, first.height()), colour)) << "not before the match";
    EXPECT_FALSE(HasColour(Line(1), colour));
    // The find bar's current match is drawn over the rule's colour.
    auto* bar = Window().findChild<FindBar*>();
    ASSERT_NE(bar, nullptr);
    bar->Open();
    bar->Field().setText(QStringLiteral("req-42"));
    EXPECT_TRUE(HasColour(Line(0), MarkColorsFor(Ui().MemoTail->palette()).current));
    EXPECT_FALSE(HasColour(Line(0), colour));
    bar->Close();

    // A whole-line rule colours the line's rows edge to edge, in white text on its dark blue; the
    // filter's mark stays over it, its text in the view's black.
    Window().Params().highlightRules.push_back({QStringLiteral("req-43"), 0x00800000, true});
    Ui().RzComboBoxFilter->setEditText(QStringLiteral("/b"));
    Ui().CheckBoxFilter->click(); // its marks show at once; the text changes at the next pass
    Window().LineColors().Refresh();
    const QImage second = Line(1);
    EXPECT_EQ(second.pixelColor(second.width() - 2, second.height() / 2), QColor(0, 0, 0x80));
    EXPECT_TRUE(HasColour(second, Qt::white));
    EXPECT_TRUE(HasColour(second, MarkColorsFor(Ui().MemoTail->palette()).filter));
    EXPECT_TRUE(HasColour(second, Qt::black));
    Window().Params().highlightRules.pop_back();

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
