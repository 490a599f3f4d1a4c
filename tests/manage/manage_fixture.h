#pragma once
// What the tests of the management windows share: a file list in a temporary settings folder,
// and a way to act on a modal window from inside its event loop.
#include <functional>
#include <memory>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "settings/uList.h"
#include "support/fake_dialogs.h"
#include "window_fixture.h"

// Entries given as "path|alias|level"; the list's default definition gets the built-in defaults.
void FillList(TTailFileList& list, const QStringList& entries);
// The entries as "path|alias|level", in list order.
QStringList Entries(const TTailFileList& list);
// The entries of the list stored in the INI file, read back by a fresh list.
QStringList StoredEntries();

// Runs act on the next modal window of class D, from inside its event loop (exec). Fails the
// test when none opens within the deadline.
template <typename D> void OnNextModal(std::function<void(D&)> act) {
    auto* timer = new QTimer;
    auto started = std::make_shared<qint64>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        *started += 10;
        if (auto* window = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*window);
        } else if (*started > 10000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal " << D::staticMetaObject.className() << " opened";
        }
    });
    timer->start();
}

// A manager of a list in a temporary settings folder, without a window.
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString TempPath(const QString& name) const { return dir_.filePath(name); }

    FakeDialogService dialogs_;
    std::unique_ptr<TTailFileManager> manager_;

private:
    QTemporaryDir dir_;
    std::unique_ptr<ScopedEnv> configHome_;
};

template <typename W> W* Child(const QWidget& parent, const char* name) {
    auto* child = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}
