#pragma once

#include <cstddef>
#include <vector>

namespace sonarel::whisper {

// Tells speech from pauses in 16 kHz audio by the energy of 20 ms frames, against a noise floor
// that follows the quiet parts of the signal.
class VoiceActivity {
public:
    static constexpr size_t kFrame = 320;

    // Classifies the whole frames of `count` samples; answers one flag per frame.
    std::vector<bool> classify(const float* samples, size_t count);
    // Whether any frame of the samples is speech, to a fresh detector.
    static bool containsSpeech(const float* samples, size_t count);

    static double energy(const float* frame, size_t count);

private:
    double noiseFloor_ = 0.002;
};

}  // namespace sonarel::whisper
