#pragma once

#include "platform/pulse/PulseAudioInput.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

namespace sonarel::testing {

// The first channel of everything the microphone recorded, from its first frame.
class Recorder {
public:
    explicit Recorder(PulseConnection& pulse) : input_(pulse) {
        input_.installTap(
            1024, input_.inputFormat(),
            [this](const AudioBuffer& buffer) {
                std::lock_guard lock(mutex_);
                samples_.insert(samples_.end(), buffer.channels[0],
                                buffer.channels[0] + buffer.frameCount);
                rate_ = buffer.sampleRate;
            },
            [](const QString&) {});
    }
    ~Recorder() {
        input_.stop();
        input_.removeTap();
    }

    std::optional<QString> start() { return input_.start(); }
    std::vector<float> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    double rate() {
        std::lock_guard lock(mutex_);
        return rate_;
    }
    double seconds() {
        std::lock_guard lock(mutex_);
        return static_cast<double>(samples_.size()) / std::max(rate_, 1.0);
    }
    float loudest() {
        std::lock_guard lock(mutex_);
        float peak = 0;
        for (const float sample : samples_) {
            peak = std::max(peak, std::abs(sample));
        }
        return peak;
    }

private:
    PulseAudioInput input_;
    std::mutex mutex_;
    std::vector<float> samples_;
    double rate_ = 0;
};

}  // namespace sonarel::testing
