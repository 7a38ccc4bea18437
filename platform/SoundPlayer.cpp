#include "platform/SoundPlayer.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QFile>

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// ALSA writes its own complaints to stderr; a missing device is not worth one.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct SndFileCloser {
    SNDFILE* file;
    ~SndFileCloser() {
        if (file)
            sf_close(file);
    }
};

struct PcmCloser {
    snd_pcm_t* pcm;
    ~PcmCloser() {
        if (pcm)
            snd_pcm_close(pcm);
    }
};

SoundPlayer::Outcome beep() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
    return SoundPlayer::Outcome::Beeped;
}

// An opened sound file, or nothing when it cannot be played.
struct OpenedSound {
    SNDFILE* file = nullptr;
    SF_INFO info{};
};

OpenedSound openSound(const QString& path) {
    OpenedSound sound;
    sound.file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sound.info);
    if (sound.file && (sound.info.channels <= 0 || sound.info.samplerate <= 0)) {
        sf_close(sound.file);
        sound.file = nullptr;
    }
    return sound;
}

// Plays an opened file to its end, or until *stop; closes the file.
SoundPlayer::Outcome playOpened(OpenedSound sound, const std::atomic<bool>* stop) {
    SndFileCloser file{sound.file};
    const SF_INFO& info = sound.info;
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return SoundPlayer::Outcome::NoDevice;
    PcmCloser pcm{raw};
    if (snd_pcm_set_params(pcm.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                           unsigned(info.channels), unsigned(info.samplerate), 1, 200000) < 0)
        return SoundPlayer::Outcome::NoDevice;

    constexpr sf_count_t kChunkFrames = 4096;
    std::vector<short> buffer(size_t(kChunkFrames) * size_t(info.channels));
    for (;;) {
        if (stop && stop->load()) {
            snd_pcm_drop(pcm.pcm);
            return SoundPlayer::Outcome::Stopped;
        }
        const sf_count_t frames = sf_readf_short(file.file, buffer.data(), kChunkFrames);
        if (frames <= 0)
            break;
        const short* p = buffer.data();
        snd_pcm_uframes_t left = snd_pcm_uframes_t(frames);
        while (left > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(pcm.pcm, p, left);
            if (written < 0)
                written = snd_pcm_recover(pcm.pcm, int(written), 1);
            if (written < 0)
                return SoundPlayer::Outcome::NoDevice; // the device went away: stop quietly
            p += written * info.channels;
            left -= snd_pcm_uframes_t(written);
        }
    }
    snd_pcm_drain(pcm.pcm);
    return SoundPlayer::Outcome::Played;
}

} // namespace

namespace SoundPlayer {

Outcome playFile(const QString& path) {
    OpenedSound sound = openSound(path);
    if (!sound.file)
        return beep();
    return playOpened(sound, nullptr);
}

void playSuccessSound() {
    // One player for the whole program: one sound at a time, wherever asked.
    static BackgroundSound player;
    player.play(Paths::programDir() + QStringLiteral("sound/sound.wav"));
}

} // namespace SoundPlayer

// Shared with the playing thread, which keeps it alive when it has to be let
// go (a device that blocks at the program's end).
struct BackgroundSound::State {
    std::mutex mutex;
    std::condition_variable quiet;
    bool playing = false;
    std::atomic<bool> stop{false};
    std::thread thread;
};

BackgroundSound::BackgroundSound() : m_state(std::make_shared<State>()) {}

BackgroundSound::~BackgroundSound() {
    m_state->stop = true;
    if (!m_state->thread.joinable())
        return;
    // A device write returns within a period; one that hangs must not keep
    // the program from ending.
    if (waitUntilQuiet(1000))
        m_state->thread.join();
    else
        m_state->thread.detach();
}

BackgroundSound::Start BackgroundSound::play(const QString& path) {
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->playing)
            return Start::Busy;
    }
    OpenedSound sound = openSound(path);
    if (!sound.file) {
        beep();
        return Start::Beeped;
    }
    // The thread of the sound before has ended (playing is false); collect it.
    if (m_state->thread.joinable())
        m_state->thread.join();
    {
        std::lock_guard lock(m_state->mutex);
        m_state->playing = true;
    }
    m_state->thread = std::thread([state = m_state, sound] {
        playOpened(sound, &state->stop);
        std::lock_guard lock(state->mutex);
        state->playing = false;
        state->quiet.notify_all();
    });
    return Start::Started;
}

bool BackgroundSound::playing() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->playing;
}

bool BackgroundSound::waitUntilQuiet(int ms) {
    std::unique_lock lock(m_state->mutex);
    return m_state->quiet.wait_for(lock, std::chrono::milliseconds(ms),
                                   [this] { return !m_state->playing; });
}
