#include "platform/whisper/VoiceActivity.h"

#include <algorithm>
#include <cmath>

namespace sonarel::whisper {

namespace {
// Speech must stand clearly above the floor, and above a level that no speech stays under.
constexpr double kAboveFloor = 4.0;
constexpr double kMinimumSpeech = 0.008;
}  // namespace

double VoiceActivity::energy(const float* frame, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum += double(frame[i]) * frame[i];
    }
    return count ? std::sqrt(sum / double(count)) : 0;
}

std::vector<bool> VoiceActivity::classify(const float* samples, size_t count) {
    std::vector<bool> speech;
    for (size_t at = 0; at + kFrame <= count; at += kFrame) {
        const double rms = energy(samples + at, kFrame);
        const bool voiced = rms > std::max(kMinimumSpeech, noiseFloor_ * kAboveFloor);
        // The floor falls quickly to quiet frames and rises slowly through loud ones.
        noiseFloor_ = rms < noiseFloor_ ? 0.7 * noiseFloor_ + 0.3 * rms
                                        : std::min(0.995 * noiseFloor_ + 0.005 * rms, 0.05);
        speech.push_back(voiced);
    }
    return speech;
}

bool VoiceActivity::containsSpeech(const float* samples, size_t count) {
    VoiceActivity voice;
    const std::vector<bool> frames = voice.classify(samples, count);
    return std::find(frames.begin(), frames.end(), true) != frames.end();
}

}  // namespace sonarel::whisper
