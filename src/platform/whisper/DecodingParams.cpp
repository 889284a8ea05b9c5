#include "platform/whisper/DecodingParams.h"

namespace sonarel::whisper {

whisper_full_params decodingParams(const WhisperModel::Decoding& decoding, int threads) {
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.n_threads = threads;
    params.language = decoding.language;
    params.translate = false;
    params.no_context = true;
    params.no_timestamps = true;
    params.single_segment = true;
    params.print_progress = false;
    params.print_realtime = false;
    params.print_special = false;
    params.print_timestamps = false;
    params.suppress_nst = true;
    // No fallback to higher temperatures: each piece costs one pass, so that the cost of a
    // partial result stays bounded.
    params.temperature_inc = 0.0f;
    params.audio_ctx = decoding.audioContext;
    params.max_tokens = decoding.maxTokens;
    void* flag = const_cast<std::atomic<bool>*>(decoding.cancelled);
    params.abort_callback = cancelRaised;
    params.abort_callback_user_data = flag;
    params.encoder_begin_callback = [](whisper_context*, whisper_state*, void* data) {
        return !cancelRaised(data);
    };
    params.encoder_begin_callback_user_data = flag;
    return params;
}

}  // namespace sonarel::whisper
