#include "platform/qt_sound_player.h"

#include <cmath>
#include <memory>

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A 16-bit mono PCM WAV of a 440 Hz tone.
bool WriteWav(const QString& path, int seconds) {
    constexpr quint32 kRate = 8000;
    const quint32 dataBytes = kRate * 2 * quint32(seconds);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << kRate << quint32(kRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < dataBytes / 2; ++i)
        out << qint16(8000 * std::sin(2 * M_PI * 440 * i / kRate));
    return out.status() == QDataStream::Ok;
}

// Play must hand the sound over and return, whatever the file or the machine's audio.
qint64 MillisecondsToPlay(SoundPlayer& player, const QString& fileName) {
    QElapsedTimer clock;
    clock.start();
    player.Play(fileName);
    return clock.elapsed();
}

TEST(QtSoundPlayerTest, ReturnsAtOnceAndStaysSilentOnWhatItCannotPlay) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString wav = folder.filePath(QStringLiteral("alert.wav"));
    ASSERT_TRUE(WriteWav(wav, 5));
    const QString text = folder.filePath(QStringLiteral("notes.mp3"));
    QFile notAudio(text);
    ASSERT_TRUE(notAudio.open(QIODevice::WriteOnly));
    notAudio.write("this is not an MP3 file\n");
    notAudio.close();

    auto player = std::make_unique<QtSoundPlayer>();
    // The five-second sound goes first, so a Play that waited for the end would show here; the
    // first call also pays for loading the media backend.
    EXPECT_LT(MillisecondsToPlay(*player, wav), 3000);
    for (const QString& name :
         {QString(), folder.filePath(QStringLiteral("missing.wav")), text, folder.path(), wav})
        EXPECT_LT(MillisecondsToPlay(*player, name), 1000) << name.toStdString();
    // Decoding and device errors come back through the event loop, later than Play.
    QTest::qWait(500);
    EXPECT_LT(MillisecondsToPlay(*player, wav), 1000);
    // A window closed while its sound still plays.
    player.reset();
    QTest::qWait(100);
}

} // namespace
