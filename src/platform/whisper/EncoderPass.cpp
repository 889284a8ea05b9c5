#include "platform/whisper/EncoderPass.h"

#include "platform/whisper/CpuVariant.h"
#include "platform/whisper/DecodingParams.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetModel.h"
#include "platform/whisper/Resampler.h"
#include "platform/whisper/WhisperModel.h"

#include <whisper.h>

#include <memory>
#include <vector>

namespace sonarel::whisper {

namespace {

struct ContextFree {
    void operator()(whisper_context* context) const { whisper_free(context); }
};
using Context = std::unique_ptr<whisper_context, ContextFree>;

whisper_context_params contextParams() {
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    return params;
}

bool isCancelled(const std::atomic<bool>* cancelled) {
    return cancelled && cancelled->load();
}

std::optional<double> passes(whisper_context* context, double window, int threads,
                             const std::atomic<bool>* cancelled) {
    if (!context) {
        return std::nullopt;
    }
    // Faint noise rather than silence, like a room heard between words.
    std::vector<float> audio(size_t(window * kModelRate));
    std::uint32_t state = 12345;
    for (float& sample : audio) {
        state = state * 1664525u + 1013904223u;
        sample = float(state >> 8) / float(1 << 24) * 0.02f - 0.01f;
    }
    // Sized and run as live decoding runs it; the decoder only has to start, since its cost
    // is not what is measured.
    WhisperModel::Decoding decoding = WhisperModel::Decoding::of(audio.data(), audio.size());
    decoding.maxTokens = 1;
    decoding.cancelled = cancelled;
    const whisper_full_params params = decodingParams(decoding, threads);
    double seconds = 0;
    for (int pass = 0; pass < 2; ++pass) {
        whisper_reset_timings(context);
        if (whisper_full(context, params, audio.data(), int(audio.size())) != 0 ||
            isCancelled(cancelled)) {
            return std::nullopt;
        }
        const std::unique_ptr<whisper_timings> timings(whisper_get_timings(context));
        if (!timings) {
            return std::nullopt;
        }
        seconds = timings->encode_ms / 1000.0;
    }
    return seconds;
}

// whisper.cpp throws where a model lacks what it looks up.
template <typename Load>
std::optional<double> time(Load load, double window, int threads,
                           const std::atomic<bool>* cancelled) {
    if (loadCpuVariant().level.isEmpty()) {
        return std::nullopt;
    }
    try {
        Context context(load());
        return passes(context.get(), window, threads, cancelled);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<double> timeEncoderPass(const QString& path, double window, int threads,
                                      const std::atomic<bool>* cancelled) {
    if (modelKind(path) == ModelKind::parakeet) {
        const std::shared_ptr<ParakeetModel> model = ParakeetModel::load(path, threads);
        return model ? model->timeEncoderPass(window, threads, cancelled) : std::nullopt;
    }
    if (!isCompleteModel(path)) {
        return std::nullopt;
    }
    const QByteArray file = path.toLocal8Bit();
    return time(
        [&] { return whisper_init_from_file_with_params(file.constData(), contextParams()); },
        window, threads, cancelled);
}

std::optional<double> timeEncoderPass(const ModelShape& shape, double window, int threads,
                                      const std::atomic<bool>* cancelled) {
    struct Source {
        SyntheticModel model;
        const std::atomic<bool>* cancelled;
        bool shortRead = false;
    } source{SyntheticModel(shape), cancelled};
    whisper_model_loader loader{};
    loader.context = &source;
    loader.read = [](void* context, void* output, size_t size) {
        auto* s = static_cast<Source*>(context);
        // A cancelled load runs out of bytes, and fails at once.
        const size_t n = isCancelled(s->cancelled) ? 0 : s->model.read(output, size);
        s->shortRead = n < size;
        return n;
    };
    loader.eof = [](void* context) { return static_cast<Source*>(context)->shortRead; };
    loader.close = [](void*) {};
    return time([&] { return whisper_init_with_params(&loader, contextParams()); }, window, threads,
                cancelled);
}

}  // namespace sonarel::whisper
