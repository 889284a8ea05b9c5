#pragma once

#include <memory>
#include <vector>

struct soxr;

namespace sonarel::whisper {

inline constexpr double kModelRate = 16000;
// The input rates the resampler takes: far beyond them libsoxr never returns from making its
// filter, or one block's output outgrows memory.
inline constexpr double kLowestInputRate = 4000;
inline constexpr double kHighestInputRate = 384000;

// Mixes interleaved or planar float audio down to mono and converts it to the model's 16 kHz,
// keeping its filter state from one block to the next.
class Resampler {
public:
    // A resampler from `inputRate`, or null for a rate it does not take.
    static std::unique_ptr<Resampler> create(double inputRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    double inputRate() const { return inputRate_; }
    // Appends the 16 kHz samples of `frameCount` planar frames to `out`.
    void processPlanar(const float* const* channels, int channelCount, int frameCount,
                       std::vector<float>& out);
    // Same for `frameCount` interleaved frames.
    void processInterleaved(const float* samples, int channelCount, long frameCount,
                            std::vector<float>& out);
    // Appends what the filter still holds; no input may follow.
    void flush(std::vector<float>& out);

private:
    Resampler(double inputRate, soxr* soxr) : inputRate_(inputRate), soxr_(soxr) {}
    void runMono(std::vector<float>& out);
    void run(const float* mono, size_t count, std::vector<float>& out);

    double inputRate_;
    soxr* soxr_;
    std::vector<float> mono_;
};

}  // namespace sonarel::whisper
