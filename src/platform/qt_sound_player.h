#pragma once
// SoundPlayer on Qt Multimedia. The media player and its audio output are made at the first sound
// and kept for the next ones; a new sound cuts the one still playing. Missing files, undecodable
// files and a machine without an audio device are all silent. Window thread only.
#include <memory>

#include <QtGlobal>

#include "platform/sound_player.h"

class QAudioOutput;
class QMediaPlayer;

class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    Q_DISABLE_COPY_MOVE(QtSoundPlayer)

    // Returns at once; the sound plays on in Qt's media pipeline.
    void Play(const QString& fileName) override;

private:
    // Declared before the player, so the player that uses it goes first.
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
};
