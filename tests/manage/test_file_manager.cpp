// The file manager dialog on its own, driven through its controls: the empty list, the level
// rule, moving, the rule that keeps every entry nameable, the shown values, the font and file
// choosers, and a refill that must not turn inherited values into own values.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "manage/fTailManager.h"
#include "manage_fixture.h"
#include "platform/qt_dialog_service.h"

namespace {

class FileManagerDialog : public ManagerTest {
protected:
    TFormFileManager& Open() {
        dialog_ = std::make_unique<TFormFileManager>(*manager_, dialogs_);
        dialog_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
        return *dialog_;
    }
    const FileManagerWidgets& Ui() { return dialog_->Widgets(); }
    QStringList Lines() {
        QStringList lines;
        for (int i = 0; i < Ui().RzCheckList1->count(); ++i)
            lines += Ui().RzCheckList1->item(i)->text();
        return lines;
    }
    void ClickLine(int row) {
        QListWidget* list = Ui().RzCheckList1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // Replaces an edit's text as typing would: select all, then type (or erase).
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }

    std::unique_ptr<TFormFileManager> dialog_;
};

TEST_F(FileManagerDialog, EmptyListSelectsNothingUntilNewAddsAnEntry) {
    manager_->List->DefFile->FillDefaults();
    TFormFileManager& dialog = Open();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("KOVRA - File manager"));
    EXPECT_EQ(dialog.minimumSize(), QSize(470, 460));
    EXPECT_EQ(Ui().tabs->currentIndex(), 0);
    EXPECT_EQ(Ui().RzCheckList1->currentRow(), -1);
    EXPECT_EQ(Ui().selectedHeader->text(), QStringLiteral(" No file selected"));
    EXPECT_FALSE(Ui().selectedPanel->isEnabled());
    EXPECT_FALSE(Ui().deleteButton->isEnabled());
    EXPECT_FALSE(Ui().up->isEnabled());
    EXPECT_FALSE(Ui().down->isEnabled());

    QTest::mouseClick(Ui().newButton, Qt::LeftButton);
    EXPECT_EQ(Lines(), QStringList{"filename"});
    EXPECT_EQ(Ui().RzCheckList1->currentRow(), 0);
    EXPECT_EQ(Ui().selectedHeader->text(), QStringLiteral(" Selected file parameters"));
    EXPECT_TRUE(Ui().selectedPanel->isEnabled());
    EXPECT_EQ(Ui().EditAlias->text(), QStringLiteral("file alias"));
    EXPECT_TRUE(Ui().deleteButton->isEnabled());
    EXPECT_FALSE(Ui().RzSpinEditLevel->isEnabled()) << "the first entry stays at the top";
    EXPECT_EQ(Ui().RzCheckList1->item(0)->checkState(), Qt::Checked);

    // Unchecking the first line (space on the current line) disables that entry like any other.
    Ui().RzCheckList1->setFocus();
    QTest::keyClick(Ui().RzCheckList1, Qt::Key_Space);
    EXPECT_EQ(Ui().RzCheckList1->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(manager_->List->RItems(0)->Enabled, QStringLiteral("N"));

    QTest::mouseClick(Ui().deleteButton, Qt::LeftButton);
    EXPECT_TRUE(Lines().isEmpty());
    EXPECT_EQ(manager_->List->Count(), 0);
    EXPECT_EQ(Ui().selectedHeader->text(), QStringLiteral(" No file selected"));
}

TEST_F(FileManagerDialog, LevelsStayWithinOneOfTheEntryAboveAndTheFirstEntryIsAtTheTop) {
    FillList(*manager_->List, {"A||0", "B||1", "C||3"});
    Open();
    EXPECT_EQ(Lines(), (QStringList{"A", "     B", "               C"}));

    ClickLine(2);
    EXPECT_EQ(Ui().RzSpinEditLevel->minimum(), 0);
    EXPECT_EQ(Ui().RzSpinEditLevel->maximum(), 2);
    EXPECT_EQ(Ui().RzSpinEditLevel->value(), 2);
    EXPECT_EQ(manager_->List->RItems(2)->Level, QStringLiteral("2")) << "stored as the nearer bound";
    EXPECT_EQ(Lines().value(2), QStringLiteral("          C"));

    // Up twice: C changes places with the entry above each time and stays selected.
    QTest::mouseClick(Ui().up, Qt::LeftButton);
    QTest::mouseClick(Ui().up, Qt::LeftButton);
    EXPECT_EQ(Ui().RzCheckList1->currentRow(), 0);
    EXPECT_EQ(Entries(*manager_->List).value(0), QStringLiteral("C||0"));
    EXPECT_FALSE(Ui().RzSpinEditLevel->isEnabled());
    EXPECT_EQ(Ui().RzSpinEditLevel->maximum(), 0);
    EXPECT_FALSE(Ui().up->isEnabled());
    EXPECT_TRUE(Ui().down->isEnabled());

    // A (now below C at level 0) may go one deeper; typing 1 stores it and indents the line.
    ClickLine(1);
    Ui().RzSpinEditLevel->setFocus();
    QTest::keyClick(Ui().RzSpinEditLevel, Qt::Key_Up);
    EXPECT_EQ(manager_->List->RItems(1)->Level, QStringLiteral("1"));
    EXPECT_EQ(Lines().value(1), QStringLiteral("     A"));
}

TEST_F(FileManagerDialog, LevelRuleHoldsAtBothEndsOfTheIntegerRangeAndOpensOnTheFollowedEntry) {
    FillList(*manager_->List, {"A||0", "B||2147483647", "C||5", "D||-2147483648", "E||7"});
    for (int i = 0; i < 80; ++i)
        manager_->List->AddFile(QStringLiteral("/logs/%1.log").arg(i), QString());
    manager_->SetFileName(QStringLiteral("/logs/70.log"));
    Open();
    QListWidget* list = Ui().RzCheckList1;
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(list->item(75))))
        << "scrolled to it";
    ClickLine(2);
    ClickLine(4);
    EXPECT_EQ(Entries(*manager_->List).mid(2, 3), (QStringList{"C||2147483646", "D||-2147483648", "E||0"}));
}

TEST_F(FileManagerDialog, PathOrAliasAlwaysRemainsAndTheFollowedNameFollowsItsEntry) {
    FillList(*manager_->List, {"/logs/a.log||0", "|group|0"});
    manager_->SetFileName(QStringLiteral("/logs/a.log"));
    TFormFileManager& dialog = Open();
    EXPECT_EQ(Ui().RzCheckList1->currentRow(), 0) << "the followed entry is selected";

    Retype(Ui().EditName, QStringLiteral("/logs/b.log"));
    EXPECT_EQ(manager_->List->RItems(0)->Path, QStringLiteral("/logs/b.log"));
    EXPECT_EQ(dialog.CurrentFileName(), QStringLiteral("/logs/b.log"));
    EXPECT_EQ(Ui().EditName->toolTip(), QStringLiteral("/logs/b.log"));
    EXPECT_EQ(Lines().value(0), QStringLiteral("/logs/b.log"));

    Retype(Ui().EditName, QString());
    EXPECT_EQ(Ui().EditAlias->text(), QStringLiteral("file name or alias is mandatory"));
    EXPECT_EQ(manager_->List->RItems(0)->Alias, QStringLiteral("file name or alias is mandatory"));
    EXPECT_EQ(Lines().value(0), QStringLiteral("file name or alias is mandatory"));
    EXPECT_EQ(dialog.CurrentFileName(), QString()) << "the followed entry was renamed to nothing";

    ClickLine(1);
    Retype(Ui().EditAlias, QString());
    EXPECT_EQ(manager_->List->RItems(1)->Path, QStringLiteral("file name or alias is mandatory"));
    EXPECT_EQ(manager_->List->RItems(1)->Alias, QString());
}

TEST_F(FileManagerDialog, ShowsEffectiveValuesWithoutStoringThemAndStoresWhatTheUserChanges) {
    FillList(*manager_->List, {"/a.log||0", "/b.log||0"});
    TTailFile* a = manager_->List->RItems(0);
    TTailFile* b = manager_->List->RItems(1);
    b->ReadMethod = QStringLiteral("7");
    b->WindowWidth = QStringLiteral("0");
    b->WindowHeight = QStringLiteral("480");
    a->WindowWidth = QStringLiteral("640");
    a->WindowHeight = QStringLiteral("480");
    manager_->List->DefFile->Wrap = QStringLiteral("N");
    manager_->List->DefFile->TabsVal = QStringLiteral("3");           // below the box's range of 5 to 200
    manager_->List->DefFile->BufferkoVal = QStringLiteral("2000000"); // above it
    Open();
    EXPECT_EQ(Ui().entry.buffer->value(), 2000000) << "shown as the program uses it";
    EXPECT_EQ(Ui().LabelWindowSize->text(), QStringLiteral("(W=640, H=480)"));
    EXPECT_EQ(Ui().entry.fontName->text(), QStringLiteral("Courier New (8 pts)"));
    EXPECT_EQ(Ui().entry.readMethod->currentText(), QStringLiteral("asc. alpha"));
    ClickLine(1);
    EXPECT_EQ(Ui().LabelWindowSize->text(), QString()) << "a width of 0 is no remembered size";
    EXPECT_EQ(Ui().entry.readMethod->currentIndex(), -1) << "ReadMethod 7 names no item";
    ClickLine(0);
    ClickLine(1);
    Ui().tabs->setCurrentIndex(1);
    Ui().tabs->setCurrentIndex(0);
    // Refills showed inherited and out-of-range values; none of them became an own value.
    for (const TTailFile* entry : {a, b}) {
        EXPECT_TRUE(entry->Wrap.isEmpty());
        EXPECT_TRUE(entry->TabsVal.isEmpty());
        EXPECT_TRUE(entry->Killspace.isEmpty());
        EXPECT_TRUE(entry->BufferkoVal.isEmpty());
        EXPECT_TRUE(entry->FontName.isEmpty());
        EXPECT_TRUE(entry->UserCmd.isEmpty());
    }
    EXPECT_EQ(b->ReadMethod, QStringLiteral("7"));
    EXPECT_EQ(manager_->List->DefFile->TabsVal, QStringLiteral("3"));
    EXPECT_EQ(Ui().def.tabs->value(), 3);

    // The default tab's change shows through in the entry that inherits it.
    Ui().tabs->setCurrentIndex(1);
    QTest::mouseClick(Ui().def.wordWrap, Qt::LeftButton);
    EXPECT_EQ(manager_->List->DefFile->Wrap, QStringLiteral("O"));
    Ui().tabs->setCurrentIndex(0);
    ClickLine(0);
    EXPECT_TRUE(Ui().entry.wordWrap->isChecked());
    EXPECT_TRUE(a->Wrap.isEmpty());

    // The user's own changes store own values.
    QTest::mouseClick(Ui().entry.wordWrap, Qt::LeftButton);
    EXPECT_EQ(a->Wrap, QStringLiteral("N"));
    ClickLine(1);
    Ui().entry.readMethod->setFocus();
    QTest::keyClick(Ui().entry.readMethod, Qt::Key_Down);
    EXPECT_EQ(b->ReadMethod, QStringLiteral("1"));
    Retype(Ui().entry.userCmd, QStringLiteral("less %s"));
    EXPECT_EQ(b->UserCmd, QStringLiteral("less %s"));
    // The default's read timer takes a typed change too, not only a click on its arrows.
    Ui().tabs->setCurrentIndex(1);
    Ui().def.refreshRate->setFocus();
    QTest::keyClick(Ui().def.refreshRate, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Ui().def.refreshRate, QStringLiteral("7"));
    EXPECT_EQ(manager_->List->DefFile->RefreshRate, QStringLiteral("7"));
    Retype(Ui().def.userCmd, QStringLiteral("view %s"));
    EXPECT_EQ(manager_->List->DefFile->UserCmd, QStringLiteral("view %s"));
}

TEST_F(FileManagerDialog, FontAndBrowseButtonsGoThroughTheChoosers) {
    FillList(*manager_->List, {"/a.log||0"});
    TTailFile* a = manager_->List->RItems(0);
    Open();

    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSize(12);
    chosen.setBold(true);
    dialogs_.QueueFontChoice(FakeDialogService::FontChoice{chosen, QColor(255, 0, 0)});
    QTest::mouseClick(Ui().entry.font, Qt::LeftButton);
    ASSERT_EQ(dialogs_.FontPresets().size(), 1u);
    EXPECT_EQ(dialogs_.FontPresets()[0].family(), QStringLiteral("Courier New"))
        << "preset with the effective font";
    EXPECT_EQ(a->FontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(a->FontSize, QStringLiteral("12"));
    EXPECT_EQ(a->FontStyleBold, QStringLiteral("O"));
    EXPECT_EQ(a->FontColor, QStringLiteral("255"));
    EXPECT_EQ(Ui().entry.fontName->text(), QStringLiteral("DejaVu Sans (12 pts)"));
    EXPECT_EQ(Ui().entry.fontName->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    dialogs_.QueueFontChoice(std::nullopt);
    QTest::mouseClick(Ui().def.font, Qt::LeftButton);
    EXPECT_EQ(manager_->List->DefFile->FontName, QStringLiteral("Courier New"))
        << "cancelled: nothing stored";

    dialogs_.QueueFileChoice(QStringLiteral("/var/log/my app.log"));
    QTest::mouseClick(Ui().SpeedButtonBrowse, Qt::LeftButton);
    EXPECT_EQ(a->Path, QStringLiteral("/var/log/my app.log"));
    EXPECT_EQ(Ui().EditName->text(), QStringLiteral("/var/log/my app.log"));
    dialogs_.QueueFileChoice(QStringLiteral("/usr/bin/my viewer"));
    QTest::mouseClick(Ui().SpeedButtonBrowseCmd, Qt::LeftButton);
    EXPECT_EQ(a->UserCmd, QStringLiteral("\"/usr/bin/my viewer\""));
    dialogs_.QueueFileChoice(QString()); // cancelled
    QTest::mouseClick(Ui().SpeedButtonBrowse, Qt::LeftButton);
    EXPECT_EQ(a->Path, QStringLiteral("/var/log/my app.log"));
}

// The Font buttons through the real dialog interface: the chooser shows its lists, and what the
// user leaves alone in it stays as it was, even a font this machine lacks.
TEST_F(FileManagerDialog, FontButtonsOpenTheRealChooserWhichKeepsWhatTheUserLeftAlone) {
    FillList(*manager_->List, {"/a.log||0"});
    QtDialogService real;
    dialog_ = std::make_unique<TFormFileManager>(*manager_, real);
    dialog_->show();
    ASSERT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Courier New"))) << "the preset must be missing";
    // Clicks the item (when not empty) in the list that holds it, then OK.
    const auto choose = [&](QPushButton* button, const QString& item) {
        OnNextModal<QDialog>([&](QDialog& chooser) {
            int shownLists = 0;
            for (QListView* list : chooser.findChildren<QListView*>()) {
                shownLists += list->isVisible() && list->model()->rowCount() > 1;
                const QModelIndexList found =
                    list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, item);
                if (!item.isEmpty() && !found.isEmpty()) {
                    list->scrollTo(found[0]);
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      list->visualRect(found[0]).center());
                }
            }
            EXPECT_EQ(shownLists, 3) << "families, styles and sizes on the screen";
            chooser.findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)
                ->button(QDialogButtonBox::Ok)
                ->click();
        });
        QTest::mouseClick(button, Qt::LeftButton);
    };
    choose(Ui().entry.font, QString());
    const TTailFile& a = *manager_->List->RItems(0);
    EXPECT_EQ(a.FontName + u' ' + a.FontSize, QStringLiteral("Courier New 8")) << "OK without a change";
    choose(Ui().def.font, QStringLiteral("12"));
    const TDefTailFile& def = *manager_->List->DefFile;
    EXPECT_EQ(def.FontName + u' ' + def.FontSize, QStringLiteral("Courier New 12"))
        << "only the size changed";
}

} // namespace
