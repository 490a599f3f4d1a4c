// A file whose name is not UTF-8, taken by the window from a drop and from the file chooser, is
// followed like any other.
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include "engine/tail_state.h"
#include "platform/file_names.h"
#include "window_fixture.h"

namespace {

class TailWindowFileNames : public TailWindowTest {
protected:
    // A file named with Latin-1 bytes in the temporary folder; its name as the window holds it.
    QString WriteLatin1Named(const QByteArray& content) {
        const QByteArray raw =
            QFile::encodeName(TempPath(QStringLiteral("x"))).chopped(1) + "r\xe9sum\xe9.log";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
        rawName_ = raw;
        return DecodeFileName(raw);
    }
    QByteArray rawName_;
};

TEST_F(TailWindowFileNames, DroppedOrChosenTheFileIsFollowed) {
    MakeWindow();
    const QString name = WriteLatin1Named("first\nsecond\n");

    // The chooser, as Qt's widgets make it, hands the name back with U+FFFD in place of the bytes.
    dialogs_.QueueFileChoice(QFile::decodeName(rawName_));
    ClickOn(Ui().SpeedButtonBrowse);
    EXPECT_EQ(Ui().EditComboBox->text(), name);
    QTest::mouseClick(Ui().RzBitBtnStart, Qt::LeftButton);
    ASSERT_EQ(Window().TailStatus(), tsStart);
    EXPECT_EQ(ViewPlain(), QStringLiteral("first\nsecond"));
    ClickStop();

    Ui().EditComboBox->clear();
    QMimeData drop;
    drop.setUrls({QUrl::fromEncoded("file://" + rawName_.toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &dropped);
    EXPECT_EQ(Ui().EditComboBox->text(), name);
}

} // namespace
