#pragma once

#include <cstddef>

namespace sonarel::whisper {

// Tells speech from pauses in 16 kHz audio by the energy of 20 ms frames, against a noise floor
// that follows the quiet parts of the signal.
class VoiceActivity {
public:
    static constexpr size_t kFrame = 320;

    // Classifies one frame of `kFrame` samples.
    bool isVoiced(const float* frame);
    // Whether any frame of the samples is loud enough to be speech to any detector.
    static bool mayHoldSpeech(const float* samples, size_t count);

    static double energy(const float* frame, size_t count);

private:
    double noiseFloor_ = 0.002;
};

}  // namespace sonarel::whisper
