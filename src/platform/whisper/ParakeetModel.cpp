#include "platform/whisper/ParakeetModel.h"

#include "platform/whisper/CpuVariant.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/WhisperModel.h"

#include <parakeet.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace sonarel::whisper {

namespace {

// The encoder's subsampling needs a few frames; shorter pieces are padded with silence.
constexpr size_t kMinimumSamples = 4000;

}  // namespace

std::shared_ptr<ParakeetModel> ParakeetModel::load(const QString& path, int threads) {
    if (modelKind(path) != ModelKind::parakeet || loadCpuVariant().level.isEmpty()) {
        return nullptr;
    }
    parakeet_context_params params = parakeet_context_default_params();
    params.use_gpu = false;
    parakeet_context* context = nullptr;
    try {
        context = parakeet_init_from_file_with_params(path.toLocal8Bit().constData(), params);
    } catch (...) {
        context = nullptr;
    }
    if (!context) {
        return nullptr;
    }
    return std::shared_ptr<ParakeetModel>(new ParakeetModel(context, std::max(1, threads)));
}

ParakeetModel::~ParakeetModel() {
    parakeet_free(context_);
}

ParakeetModel::Decoded ParakeetModel::decode(const Decoding& decoding) {
    parakeet_full_params params = parakeet_full_default_params(PARAKEET_SAMPLING_GREEDY);
    params.n_threads = decoding.threads > 0 ? decoding.threads : threads_;
    // Each decoding stands alone: a partial decodes the same utterance again from its start.
    params.no_context = true;
    void* flag = const_cast<std::atomic<bool>*>(decoding.cancelled);
    params.abort_callback = cancelRaised;
    params.abort_callback_user_data = flag;
    params.encoder_begin_callback = [](parakeet_context*, parakeet_state*, void* data) {
        return !cancelRaised(data);
    };
    params.encoder_begin_callback_user_data = flag;
    return runDecoding(
        lock_, decoding, kMinimumSamples,
        [&](const float* samples, int count) {
            return parakeet_full(context_, params, samples, count);
        },
        [&](Decoded& decoded) {
            const int segments = parakeet_full_n_segments(context_);
            for (int i = 0; i < segments; ++i) {
                decoded.text += QString::fromUtf8(parakeet_full_get_segment_text(context_, i));
            }
        });
}

std::optional<double> ParakeetModel::timeEncoderPass(double seconds, int threads,
                                                     const std::atomic<bool>* cancelled) {
    // Faint noise rather than silence, like a room heard between words.
    std::vector<float> audio(size_t(seconds * PARAKEET_SAMPLE_RATE));
    std::uint32_t state = 12345;
    for (float& sample : audio) {
        state = state * 1664525u + 1013904223u;
        sample = float(state >> 8) / float(1 << 24) * 0.02f - 0.01f;
    }
    Decoding decoding = Decoding::of(audio.data(), audio.size());
    decoding.threads = threads;
    decoding.cancelled = cancelled;
    double encoder = 0;
    for (int pass = 0; pass < 2; ++pass) {
        {
            std::lock_guard guard(lock_);
            parakeet_reset_timings(context_);
        }
        if (decode(decoding).outcome != Outcome::done) {
            return std::nullopt;
        }
        std::lock_guard guard(lock_);
        const std::unique_ptr<parakeet_timings> timings(parakeet_get_timings(context_));
        if (!timings) {
            return std::nullopt;
        }
        encoder = timings->encode_ms / 1000.0;
    }
    return encoder;
}

}  // namespace sonarel::whisper
