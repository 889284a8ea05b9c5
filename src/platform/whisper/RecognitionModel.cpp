#include "platform/whisper/RecognitionModel.h"

#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetModel.h"
#include "platform/whisper/Resampler.h"
#include "platform/whisper/WhisperModel.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

namespace sonarel::whisper {

namespace {
constexpr double kFramesPerSecond = 50;
constexpr int kFullContext = 1500;
}  // namespace

int audioContextFor(double seconds) {
    // The margin gives the decoder at least 0.64 s of silence after the audio, as the padding
    // after speech it was trained on; every frame beyond that is encoder work for nothing (a
    // 4 s window cost 0.33 s at 320 frames, 0.27 s at 240).
    const int frames = int(std::ceil(seconds * kFramesPerSecond)) + 32;
    return std::min(kFullContext, (frames + 15) / 16 * 16);
}

int maxTokensFor(double seconds) {
    return std::min(220, int(std::ceil(seconds * 7)) + 10);
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

RecognitionModel::Decoding RecognitionModel::Decoding::of(const float* samples, size_t count) {
    const double seconds = double(count) / kModelRate;
    Decoding decoding;
    decoding.samples = samples;
    decoding.count = count;
    decoding.audioContext = audioContextFor(seconds);
    decoding.maxTokens = maxTokensFor(seconds);
    return decoding;
}

bool cancelRaised(void* flag) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load();
}

RecognitionModel::Decoded RecognitionModel::runDecoding(
    std::mutex& lock, const Decoding& decoding, size_t minimumSamples,
    const std::function<int(const float*, int)>& run,
    const std::function<void(Decoded&)>& collect) {
    std::vector<float> padded;
    const float* samples = decoding.samples;
    size_t count = decoding.count;
    if (count < minimumSamples) {
        padded.assign(minimumSamples, 0.0f);
        std::copy(samples, samples + count, padded.begin());
        samples = padded.data();
        count = padded.size();
    }
    void* flag = const_cast<std::atomic<bool>*>(decoding.cancelled);

    std::lock_guard guard(lock);
    if (cancelRaised(flag)) {
        return {Outcome::cancelled, {}};
    }
    const double cpuStart = processCpuSeconds();
    int status = -1;
    try {
        status = run(samples, int(count));
    } catch (...) {
        // A model whose vocabulary lacks what the decoder looks up fails here.
        status = -1;
    }
    Decoded decoded{Outcome::failed, {}, processCpuSeconds() - cpuStart};
    if (cancelRaised(flag)) {
        decoded.outcome = Outcome::cancelled;
    } else if (status == 0) {
        decoded.outcome = Outcome::done;
        collect(decoded);
        decoded.text = decoded.text.simplified();
    }
    return decoded;
}

std::shared_ptr<RecognitionModel> loadRecognitionModel(const QString& path, int threads) {
    switch (modelKind(path)) {
        case ModelKind::whisper:
            return WhisperModel::load(path, threads);
        case ModelKind::parakeet:
            return ParakeetModel::load(path, threads);
        case ModelKind::none:
            break;
    }
    return nullptr;
}

}  // namespace sonarel::whisper
