#pragma once
// Plays a sound file (WAV or MP3) without waiting for its end. A missing file or any player error
// is ignored. Window thread only.
#include <QString>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(const QString& fileName) = 0;
};
