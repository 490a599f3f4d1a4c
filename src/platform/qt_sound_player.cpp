#include "platform/qt_sound_player.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::Play(const QString& fileName) {
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.isFile())
        return;
    // Nothing to hear without an output device, and Qt 6.4's media backends crash when asked to
    // play without one.
    if (QMediaDevices::defaultAudioOutput().isNull())
        return;
    // Made on first use: loading the media backend costs time the window should not pay at start.
    if (!player_) {
        output_ = std::make_unique<QAudioOutput>();
        player_ = std::make_unique<QMediaPlayer>();
        player_->setAudioOutput(output_.get());
    }
    // Player errors arrive later through errorOccurred; nobody listens, which is the point.
    player_->stop();
    player_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    player_->play();
}
