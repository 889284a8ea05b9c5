#include "engine/Hush.h"

#include <algorithm>
#include <cmath>

namespace sonarel {

const AudioBuffer& Hush::apply(const AudioBuffer& buffer) {
    if (remaining_ < 0) {
        remaining_ = std::lround(seconds_ * buffer.sampleRate);
    }
    if (remaining_ == 0 || buffer.frameCount <= 0) {
        return buffer;
    }
    const long silenced = std::min<long>(remaining_, buffer.frameCount);
    remaining_ -= silenced;
    if (buffer.channels == nullptr) {
        return buffer;
    }
    const auto frames = static_cast<size_t>(buffer.frameCount);
    samples_.assign(frames * static_cast<size_t>(buffer.channelCount), 0.0f);
    channels_.resize(static_cast<size_t>(buffer.channelCount));
    for (size_t c = 0; c < channels_.size(); ++c) {
        float* run = samples_.data() + c * frames;
        std::copy(buffer.channels[c] + silenced, buffer.channels[c] + frames, run + silenced);
        channels_[c] = run;
    }
    hushed_ = buffer;
    hushed_.channels = channels_.data();
    return hushed_;
}

}  // namespace sonarel
