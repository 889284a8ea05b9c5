#include "platform/whisper/WhisperModel.h"

#include "platform/Logging.h"
#include "platform/whisper/CpuVariant.h"
#include "platform/whisper/DecodingParams.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/Resampler.h"

#include <parakeet.h>
#include <whisper.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

namespace sonarel::whisper {

namespace {

// whisper.cpp refuses less than a second of audio; shorter pieces are padded with silence.
constexpr size_t kMinimumSamples = 17600;

void forwardLine(ggml_log_level level, const char* text, void*) {
    // The libraries write a line in pieces; each thread's goes out whole.
    thread_local std::string line;
    thread_local ggml_log_level lineLevel = GGML_LOG_LEVEL_INFO;
    if (level != GGML_LOG_LEVEL_CONT && line.empty()) {
        lineLevel = level;
    }
    line += text;
    if (line.empty() || line.back() != '\n') {
        return;
    }
    line.pop_back();
    if (lineLevel == GGML_LOG_LEVEL_ERROR) {
        qCWarning(logRecognizer, "whisper.cpp: %s", line.c_str());
    } else {
        qCDebug(logRecognizer, "whisper.cpp: %s", line.c_str());
    }
    line.clear();
}

}  // namespace

void routeLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        whisper_log_set(forwardLine, nullptr);
        parakeet_log_set(forwardLine, nullptr);
    });
}

std::shared_ptr<WhisperModel> WhisperModel::load(const QString& path, int threads) {
    if (!isCompleteModel(path) || loadCpuVariant().level.isEmpty()) {
        return nullptr;
    }
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    whisper_context* context = nullptr;
    try {
        context = whisper_init_from_file_with_params(path.toLocal8Bit().constData(), params);
    } catch (...) {
        context = nullptr;
    }
    if (!context) {
        return nullptr;
    }
    return std::shared_ptr<WhisperModel>(new WhisperModel(context, std::max(1, threads)));
}

WhisperModel::~WhisperModel() {
    whisper_free(context_);
}

bool WhisperModel::knowsLanguage(const QString& code) {
    routeLibraryLog();
    return !code.isEmpty() && whisper_lang_id(code.toLatin1().constData()) >= 0;
}

WhisperModel::Decoded WhisperModel::decode(const Decoding& decoding) {
    whisper_full_params params =
        decodingParams(decoding, decoding.threads > 0 ? decoding.threads : threads_);
    if (const double pace = tokensPerSecond_; pace > 0) {
        const int spoken =
            std::max(1, int(std::lround(pace * double(decoding.count) / kModelRate)));
        params.max_tokens = std::min(params.max_tokens, spoken);
    }
    const QByteArray prompt = decoding.prompt.toUtf8();
    if (!prompt.isEmpty()) {
        params.initial_prompt = prompt.constData();
    }
    return runDecoding(
        lock_, decoding, kMinimumSamples,
        [&](const float* samples, int count) {
            return whisper_full(context_, params, samples, count);
        },
        [&](Decoded& decoded) {
            const int segments = whisper_full_n_segments(context_);
            for (int i = 0; i < segments; ++i) {
                decoded.text += QString::fromUtf8(whisper_full_get_segment_text(context_, i));
                decoded.noSpeech = std::max(
                    decoded.noSpeech, double(whisper_full_get_segment_no_speech_prob(context_, i)));
            }
        });
}

}  // namespace sonarel::whisper
