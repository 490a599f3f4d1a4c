#pragma once
// Each settings test gets its own settings folder: XDG_CONFIG_HOME points at a fresh temporary
// folder, so the INI file and the registry-form store start absent.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/registry_store.h"

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path()));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", savedConfigHome_); }

    QString Home() const { return home_.path(); }
    QString Folder() const { return home_.path() + QStringLiteral("/kovra/"); }
    QString IniPath() const { return Folder() + QStringLiteral("kovra.ini"); }
    QString RegistryPath() const { return Folder() + QStringLiteral("registry.reg"); }

    void WriteText(const QString& path, const QByteArray& content) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        ASSERT_EQ(file.write(content), content.size());
    }
    QByteArray ReadText(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A regular file where the settings folder should be: no save can create the folder, even
    // for root, who ignores folder permissions.
    void BlockSettingsFolder() const { WriteText(Home() + QStringLiteral("/kovra"), "not a folder"); }

    RegistryStore LoadedRegistry() const {
        RegistryStore store(RegistryPath());
        EXPECT_TRUE(store.Load());
        return store;
    }

private:
    QTemporaryDir home_;
    QByteArray savedConfigHome_;
};

inline const QString kGlobalKey = QStringLiteral("\\Software\\Velmora\\Quorvel\\global");
inline const QString kFilesKey = QStringLiteral("\\Software\\Velmora\\Quorvel\\files");
inline const QString kFilterKey = QStringLiteral("\\Software\\Velmora\\Quorvel\\filter");
inline const QString kAlarmKey = QStringLiteral("\\Software\\Velmora\\Quorvel\\alarm");
