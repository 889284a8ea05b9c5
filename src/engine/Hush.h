#pragma once

#include "platform/AudioInput.h"

#include <vector>

namespace sonarel {

// Silences the first stretch of a capture, so that what the microphone hears of the start sound
// reaches neither the recognizer nor the level meter. Used on the capture thread only.
class Hush {
public:
    explicit Hush(double seconds) : seconds_(seconds) {}

    // `buffer` with its frames that fall within the stretch made silent (a copy, valid until the
    // next call), or `buffer` itself once the stretch is over.
    const AudioBuffer& apply(const AudioBuffer& buffer);

private:
    double seconds_;
    long remaining_ = -1;  // the frames still to silence, once the first buffer gave the rate
    std::vector<float> samples_;
    std::vector<const float*> channels_;
    AudioBuffer hushed_;
};

}  // namespace sonarel
