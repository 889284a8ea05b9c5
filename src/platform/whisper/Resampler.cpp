#include "platform/whisper/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace sonarel::whisper {

std::unique_ptr<Resampler> Resampler::create(double inputRate) {
    if (!(inputRate >= kLowestInputRate && inputRate <= kHighestInputRate)) {
        return nullptr;
    }
    if (inputRate == kModelRate) {
        return std::unique_ptr<Resampler>(new Resampler(inputRate, nullptr));
    }
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
    soxr_error_t error = nullptr;
    soxr* filter = soxr_create(inputRate, kModelRate, 1, &error, nullptr, &quality, nullptr);
    if (error) {
        return nullptr;
    }
    return std::unique_ptr<Resampler>(new Resampler(inputRate, filter));
}

Resampler::~Resampler() {
    if (soxr_) {
        soxr_delete(soxr_);
    }
}

void Resampler::processPlanar(const float* const* channels, int channelCount, int frameCount,
                              std::vector<float>& out) {
    if (!channels || channelCount <= 0 || frameCount <= 0) {
        return;
    }
    mono_.assign(channels[0], channels[0] + frameCount);
    for (int c = 1; c < channelCount; ++c) {
        for (int i = 0; i < frameCount; ++i) {
            mono_[i] += channels[c][i];
        }
    }
    if (channelCount > 1) {
        for (float& s : mono_) {
            s /= static_cast<float>(channelCount);
        }
    }
    runMono(out);
}

void Resampler::processInterleaved(const float* samples, int channelCount, long frameCount,
                                   std::vector<float>& out) {
    if (channelCount <= 0 || frameCount <= 0) {
        return;
    }
    mono_.resize(frameCount);
    for (long i = 0; i < frameCount; ++i) {
        float sum = 0;
        for (int c = 0; c < channelCount; ++c) {
            sum += samples[i * channelCount + c];
        }
        mono_[i] = sum / static_cast<float>(channelCount);
    }
    runMono(out);
}

void Resampler::runMono(std::vector<float>& out) {
    // Damaged input must not reach the model as NaN or as huge values.
    for (float& s : mono_) {
        s = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
    }
    run(mono_.data(), mono_.size(), out);
}

void Resampler::flush(std::vector<float>& out) {
    if (soxr_) {
        run(nullptr, 0, out);
    }
}

void Resampler::run(const float* mono, size_t count, std::vector<float>& out) {
    if (!soxr_) {
        out.insert(out.end(), mono, mono + count);
        return;
    }
    // A flush (no input) may return its tail in several rounds.
    const size_t room = static_cast<size_t>(std::ceil(count * kModelRate / inputRate_)) + 1024;
    do {
        const size_t start = out.size();
        out.resize(start + room);
        size_t used = 0;
        size_t made = 0;
        soxr_process(soxr_, mono, count, &used, out.data() + start, room, &made);
        out.resize(start + made);
        mono += used;
        count -= used;
        if (made == 0 && used == 0) {
            break;
        }
    } while (count > 0 || !mono);
}

}  // namespace sonarel::whisper
