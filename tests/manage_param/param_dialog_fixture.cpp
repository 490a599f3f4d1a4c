#include "param_dialog_fixture.h"

#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "manage/param_color_box.h"

void ParamDialogTest::SetUp() {
    TailWindowTest::SetUp();
    dataHome_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", QFile::encodeName(DataHome()));
}

void ParamDialogTest::TearDown() {
    TailWindowTest::TearDown();
    dataHome_.reset();
}

void ParamDialogTest::OpenParameters(const std::function<void(TFormTailParam&)>& act) {
    bool acted = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = Window().findChild<TFormTailParam*>();
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        act(*dialog);
        acted = true;
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->hide(); // ends its modal loop without asking
        }
    });
    poll.start();
    QTest::mouseClick(Ui().SpeedButtonControlPanel, Qt::LeftButton);
    EXPECT_TRUE(acted) << "the parameters dialog was not shown";
    EXPECT_EQ(Window().findChild<TFormTailParam*>(), nullptr) << "freed after it closed";
}

void PickColor(TColorBox* box, const QString& itemText) {
    const int index = box->findText(itemText);
    ASSERT_GT(index, 0) << itemText.toStdString();
    box->setCurrentIndex(index - 1);
    QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentIndex(), index);
}

void PickCustomColor(TColorBox* box) {
    QTest::keyClick(box, Qt::Key_End);
}

QStringList LinesStartingWith(const QString& text, const QString& prefix) {
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        if (line.startsWith(prefix))
            lines << line;
    return lines;
}
