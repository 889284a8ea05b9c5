#pragma once

#include "platform/whisper/RecognitionModel.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>

struct parakeet_context;

namespace sonarel::whisper {

// One loaded Parakeet TDT model (whisper.cpp's own implementation on the same ggml). It finds
// the language by itself and writes punctuation and capitals; the decoding and the joining of
// its word pieces into text are the library's. Decoding is serialised, as for whisper.
class ParakeetModel : public RecognitionModel {
public:
    // The model in `path`, or null when the file is not a complete Parakeet model or does not
    // load.
    static std::shared_ptr<ParakeetModel> load(const QString& path, int threads);
    ~ParakeetModel() override;
    ParakeetModel(const ParakeetModel&) = delete;
    ParakeetModel& operator=(const ParakeetModel&) = delete;

    // Uses the samples, threads and cancel flag of `decoding`; its whisper-only fields (language,
    // prompt, encoder context, token bound) do not apply.
    Decoded decode(const Decoding& decoding) override;

    // The seconds of the encoder's part of a decoding of `seconds` of faint noise with `threads`
    // threads, the second of two so that the first's warming up does not count; nothing when it
    // fails or `cancelled` is raised.
    std::optional<double> timeEncoderPass(double seconds, int threads,
                                          const std::atomic<bool>* cancelled);

private:
    ParakeetModel(parakeet_context* context, int threads) : context_(context), threads_(threads) {}

    std::mutex lock_;
    parakeet_context* context_;
    const int threads_;
};

}  // namespace sonarel::whisper
