#include "platform/whisper/VoiceActivity.h"

#include <algorithm>
#include <cmath>

namespace sonarel::whisper {

namespace {
// Speech must stand clearly above the floor, and above a level that no speech stays under.
constexpr double kAboveFloor = 4.0;
constexpr double kMinimumSpeech = 0.008;
// Two high-pass stages at 150 Hz: below it lie a fan's or a road's rumble and the handling of
// the microphone, and little of a voice. Brown noise's frames then vary within a factor of two
// rather than four.
const double kHighPass = std::exp(-2 * M_PI * 150 / 16000);
}  // namespace

double VoiceActivity::energy(const float* frame, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum += double(frame[i]) * frame[i];
    }
    return count ? std::sqrt(sum / double(count)) : 0;
}

double VoiceActivity::floor() const {
    const size_t known = std::min(frames_, kRecent);
    const double steady =
        known ? *std::min_element(recent_.begin(), recent_.begin() + std::ptrdiff_t(known)) : 0;
    return std::max(noiseFloor_, steady);
}

bool VoiceActivity::isVoiced(const float* frame) {
    double sum = 0;
    for (size_t i = 0; i < kFrame; ++i) {
        double value = frame[i];
        for (size_t stage = 0; stage < lastIn_.size(); ++stage) {
            const double out = kHighPass * (lastOut_[stage] + value - lastIn_[stage]);
            lastIn_[stage] = value;
            lastOut_[stage] = out;
            value = out;
        }
        sum += value * value;
    }
    last_ = std::sqrt(sum / double(kFrame));
    recent_[frames_++ % kRecent] = last_;
    const bool voiced = last_ > std::max(kMinimumSpeech, floor() * kAboveFloor);
    // The floor falls quickly to quiet frames and rises slowly through loud ones.
    noiseFloor_ = last_ < noiseFloor_ ? 0.7 * noiseFloor_ + 0.3 * last_
                                      : std::min(0.995 * noiseFloor_ + 0.005 * last_, 0.05);
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
