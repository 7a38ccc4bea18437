#pragma once
// The event sound: a WAV file played through the default sound device to its
// end. A missing or unreadable file rings the desktop bell; a machine without
// a sound device stays silent.
#include <QString>

#include <memory>

namespace SoundPlayer {
enum class Outcome { Played, Beeped, NoDevice, Stopped };

// Plays the file to its end; the caller waits.
Outcome playFile(const QString& path);

// Plays "sound/sound.wav" of the program folder without the caller waiting,
// through the program's one background player.
void playSuccessSound();
} // namespace SoundPlayer

// Plays sounds on a thread of its own, so that the window never waits for
// one: each to its end, one at a time. A sound asked for while another plays
// is not started (the one playing tells the same), so a burst of captures
// never piles up minutes of sound. The file is opened by the caller: one that
// cannot be read rings the bell at once, on the caller's thread.
class BackgroundSound {
  public:
    enum class Start { Started, Busy, Beeped };

    BackgroundSound();
    // Stops a sound that still plays; waits a second at most for it.
    ~BackgroundSound();
    BackgroundSound(const BackgroundSound&) = delete;
    BackgroundSound& operator=(const BackgroundSound&) = delete;

    Start play(const QString& path);
    bool playing() const;
    // Waits until no sound plays; false when one still plays after ms.
    bool waitUntilQuiet(int ms);

  private:
    struct State;
    std::shared_ptr<State> m_state;
};
