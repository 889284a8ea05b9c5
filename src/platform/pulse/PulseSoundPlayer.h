#pragma once

#include "platform/Sounds.h"
#include "platform/pulse/PulseConnection.h"

#include <memory>
#include <vector>

struct pa_operation;
struct pa_stream;

namespace sonarel {

// The sounds, synthesised once: two soft notes, rising at the start and falling at the stop, each
// played on a short playback stream of its own to the default output (as an event sound), which
// goes once it has played out.
class PulseSoundPlayer : public SoundPlayer {
public:
    static constexpr int kRate = 48000;
    static constexpr double kLowNote = 587.33;  // D5
    static constexpr double kHighNote = 880;    // A5, a fifth above
    static constexpr double kNoteSeconds = 0.07;
    static constexpr double kGapSeconds = 0.025;
    // Quiet beside speech, and far below anything that could clip.
    static constexpr float kPeak = 0.18f;

    explicit PulseSoundPlayer(PulseConnection& pulse);
    ~PulseSoundPlayer() override;

    // Never waits for the server, but to connect when no connection is there yet.
    void play(Sound sound) override;

    // The samples of `sound`, mono at `kRate`.
    static std::vector<float> synthesise(Sound sound);

private:
    struct Playing {
        PulseSoundPlayer* player;
        pa_stream* stream;
        const std::vector<float>* samples;
        pa_operation* drain = nullptr;  // until the sound has played out
    };

    // On the main loop thread, or under its lock.
    void stateChanged(Playing* playing);
    void end(Playing* playing);

    PulseConnection& pulse_;
    const std::vector<float> start_;
    const std::vector<float> stop_;
    // Under the connection's lock: the sounds still playing.
    std::vector<std::unique_ptr<Playing>> playing_;
};

}  // namespace sonarel
