#pragma once

#include "TestAudio.h"
#include "platform/SpeechService.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace sonarel::testing {

// What a task delivered, with the time of each delivery since the collector was made.
class Collector {
public:
    struct Delivery {
        double at;
        std::optional<RecognitionResult> result;
        std::optional<RecognitionError> error;
    };

    RecognitionHandler handler() {
        return
            [this](std::optional<RecognitionResult> result, std::optional<RecognitionError> error) {
                std::lock_guard guard(lock_);
                deliveries_.push_back({seconds(), std::move(result), std::move(error)});
            };
    }
    std::vector<Delivery> deliveries() const {
        std::lock_guard guard(lock_);
        return deliveries_;
    }
    bool ended() const {
        std::lock_guard guard(lock_);
        return !deliveries_.empty() &&
               (deliveries_.back().error || deliveries_.back().result->isFinal);
    }
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    // Timeouts are bounds against a hang, generous for a busy machine, never timings.
    bool waitEnded(double timeout) const {
        while (!ended() && seconds() < timeout) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return ended();
    }

private:
    mutable std::mutex lock_;
    std::vector<Delivery> deliveries_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Feeds interleaved audio to a request in capture-sized planar buffers, in real time or as
// fast as it can.
inline void feed(AudioBufferRecognitionRequest& request, const Audio& audio, bool realTime) {
    constexpr int kFrames = 2048;
    const int channels = audio.channels;
    std::vector<std::vector<float>> planes(channels, std::vector<float>(kFrames));
    std::vector<const float*> pointers(channels);
    const size_t frames = audio.samples.size() / channels;
    auto next = std::chrono::steady_clock::now();
    for (size_t at = 0; at < frames; at += kFrames) {
        const int n = int(std::min<size_t>(kFrames, frames - at));
        for (int c = 0; c < channels; ++c) {
            for (int i = 0; i < n; ++i) {
                planes[c][i] = audio.samples[(at + i) * channels + c];
            }
            pointers[c] = planes[c].data();
        }
        request.append(AudioBuffer{pointers.data(), channels, n, audio.rate});
        if (realTime) {
            next += std::chrono::microseconds(int64_t(n * 1e6 / audio.rate));
            std::this_thread::sleep_until(next);
        }
    }
}

inline Audio silence(double seconds, double rate = 48000, int channels = 1) {
    Audio audio;
    audio.channels = channels;
    audio.rate = rate;
    audio.samples.assign(size_t(seconds * rate) * channels, 0.0f);
    return audio;
}

inline Audio concatenate(const Audio& a, const Audio& b) {
    Audio out = a;
    out.samples.insert(out.samples.end(), b.samples.begin(), b.samples.end());
    return out;
}

}  // namespace sonarel::testing
