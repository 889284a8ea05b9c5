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

bool VoiceActivity::isVoiced(const float* frame) {
    const double rms = energy(frame, kFrame);
    const bool voiced = rms > std::max(kMinimumSpeech, noiseFloor_ * kAboveFloor);
    // The floor falls quickly to quiet frames and rises slowly through loud ones.
    noiseFloor_ = rms < noiseFloor_ ? 0.7 * noiseFloor_ + 0.3 * rms
                                    : std::min(0.995 * noiseFloor_ + 0.005 * rms, 0.05);
    return voiced;
}

bool VoiceActivity::mayHoldSpeech(const float* samples, size_t count) {
    for (size_t at = 0; at < count; at += kFrame) {
        if (energy(samples + at, std::min(kFrame, count - at)) > kMinimumSpeech) {
            return true;
        }
    }
    return false;
}

}  // namespace sonarel::whisper
