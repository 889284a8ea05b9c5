#pragma once

namespace sonarel {

// The short sounds that mark where a dictation starts and where it stops.
enum class Sound { Start, Stop };

// Plays the sounds through the desktop's sound output. Main thread only.
class SoundPlayer {
public:
    // No sound lasts longer.
    static constexpr double kLongest = 0.2;

    virtual ~SoundPlayer() = default;
    // Starts `sound` and returns without waiting for it; one that cannot be played (no sound
    // server) is left out.
    virtual void play(Sound sound) = 0;
};

}  // namespace sonarel
