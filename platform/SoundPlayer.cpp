#include "platform/SoundPlayer.h"

#include "platform/Paths.h"

#include <QApplication>
#include <QFile>

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <cstdarg>
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

} // namespace

namespace SoundPlayer {

Outcome playFile(const QString& path) {
    SF_INFO info{};
    SndFileCloser file{sf_open(QFile::encodeName(path).constData(), SFM_READ, &info)};
    if (!file.file || info.channels <= 0 || info.samplerate <= 0)
        return beep();

    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return Outcome::NoDevice;
    PcmCloser pcm{raw};
    if (snd_pcm_set_params(pcm.pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                           unsigned(info.channels), unsigned(info.samplerate), 1, 200000) < 0)
        return Outcome::NoDevice;

    constexpr sf_count_t kChunkFrames = 4096;
    std::vector<short> buffer(size_t(kChunkFrames) * size_t(info.channels));
    for (;;) {
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
                return Outcome::NoDevice; // the device went away: stop quietly
            p += written * info.channels;
            left -= snd_pcm_uframes_t(written);
        }
    }
    snd_pcm_drain(pcm.pcm);
    return Outcome::Played;
}

Outcome playSuccessSound() {
    return playFile(Paths::soundFile());
}

} // namespace SoundPlayer
