#include "engine/Level.h"

#include <algorithm>
#include <cmath>

namespace sonarel::level {

float rmsOfFirstChannel(const AudioBuffer& buffer) {
    if (buffer.channels == nullptr || buffer.channelCount < 1 || buffer.frameCount <= 0) {
        return 0.0f;
    }
    const float* samples = buffer.channels[0];
    float sum = 0.0f;
    for (int i = 0; i < buffer.frameCount; ++i) {
        sum += samples[i] * samples[i];
    }
    return std::sqrt(sum / static_cast<float>(buffer.frameCount));
}

double normalized(double rms) {
    const double n =
        (20.0 * std::log10(std::max(rms, kAmplitudeFloor)) + kDecibelOffset) / kDecibelRange;
    return std::clamp(n, 0.0, 1.0);
}

}  // namespace sonarel::level
