#pragma once

#include <array>
#include <cstddef>

namespace sonarel::whisper {

// Tells speech from pauses in 16 kHz audio by the energy of 20 ms frames above the rumble that
// carries no words, against a noise floor that follows the quiet parts of the signal and never
// stays below a steady noise (a fan, traffic) for more than a second and a half.
class VoiceActivity {
public:
    static constexpr size_t kFrame = 320;

    // Classifies the next frame of `kFrame` samples.
    bool isVoiced(const float* frame);
    // The energy of the last frame classified, as the classification measured it.
    double lastEnergy() const { return last_; }
    // The room's level now: what a frame must stand well above to be voice.
    double floor() const;

    // Whether any frame of the samples is loud enough to be speech to any detector.
    static bool mayHoldSpeech(const float* samples, size_t count);

    static double energy(const float* frame, size_t count);

private:
    // The last 1.5 s of frame energies: a steady noise fills it, where speech leaves a quiet
    // frame between its words or sounds well within it.
    static constexpr size_t kRecent = 75;

    double noiseFloor_ = 0.002;
    std::array<double, kRecent> recent_{};
    size_t frames_ = 0;
    double last_ = 0;
    // Two one-pole high-pass stages (their last input and output each).
    std::array<double, 2> lastIn_{};
    std::array<double, 2> lastOut_{};
};

}  // namespace sonarel::whisper
