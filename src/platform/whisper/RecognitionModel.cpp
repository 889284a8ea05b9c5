#include "platform/whisper/RecognitionModel.h"

#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetModel.h"
#include "platform/whisper/Resampler.h"
#include "platform/whisper/WhisperModel.h"

#include <algorithm>
#include <cmath>
#include <ctime>

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
