#include "platform/SoundPlayer.h"

#include "tests/support/TestEnv.h"

#include <QFile>

#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <vector>

namespace {
// A short tone written with the same library the player reads with.
bool writeTone(const QString& path, int rate, int channels, double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const int frames = int(rate * seconds);
    std::vector<short> samples(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i)
        for (int ch = 0; ch < channels; ++ch)
            samples[size_t(i * channels + ch)] = short(8000 * std::sin(i * 0.06));
    const bool ok = sf_writef_short(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}
QString wav(const TestEnv& env) {
    return env.programDir() + QStringLiteral("sound/sound.wav");
}
} // namespace

TEST(SoundPlayer, MissingOrBrokenFileBeeps) {
    TestEnv env;
    EXPECT_EQ(SoundPlayer::playFile(wav(env)), SoundPlayer::Outcome::Beeped);
    env.writeFile(QStringLiteral("sound/sound.wav"), "RIFF not really a wave");
    EXPECT_EQ(SoundPlayer::playFile(wav(env)), SoundPlayer::Outcome::Beeped);
}

TEST(SoundPlayer, PlaysWaveToTheEnd) {
    TestEnv env;
    const struct {
        int rate;
        int channels;
    } cases[] = {{22050, 1}, {44100, 2}};
    for (const auto& c : cases) {
        QFile::remove(env.programDir() + QStringLiteral("sound/sound.wav"));
        env.writeFile(QStringLiteral("sound/.keep"), {});
        ASSERT_TRUE(writeTone(env.programDir() + QStringLiteral("sound/sound.wav"), c.rate,
                              c.channels, 0.3));
        EXPECT_EQ(SoundPlayer::playFile(wav(env)), SoundPlayer::Outcome::Played) << c.rate;
    }
}

TEST(SoundPlayer, NoSoundDeviceIsNotAnError) {
    TestEnv env;
    QFile rc(env.root() + QStringLiteral("user/.asoundrc"));
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rc.write("pcm.!default { type hw card 97 }\n");
    rc.close();
    env.writeFile(QStringLiteral("sound/.keep"), {});
    ASSERT_TRUE(writeTone(env.programDir() + QStringLiteral("sound/sound.wav"), 8000, 1, 0.1));
    EXPECT_EQ(SoundPlayer::playFile(wav(env)), SoundPlayer::Outcome::NoDevice);
}
