#pragma once
// The event sound: a WAV file played through the default sound device to its
// end (the caller waits). A missing or unreadable file rings the desktop bell;
// a machine without a sound device stays silent.
#include <QString>

namespace SoundPlayer {
enum class Outcome { Played, Beeped, NoDevice };

Outcome playFile(const QString& path);
// "sound/sound.wav" of the program folder.
Outcome playSuccessSound();
} // namespace SoundPlayer
