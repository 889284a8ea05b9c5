#pragma once

#include "platform/whisper/RecognitionModel.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

struct whisper_context;

namespace sonarel::whisper {

// One loaded whisper model. Decoding is serialised: whisper.cpp keeps one decoding state per
// context, and tasks running side by side (an ending task and its successor) take turns.
class WhisperModel : public RecognitionModel {
public:
    // The model in `path`, or null when the file is not a complete model or does not load.
    static std::shared_ptr<WhisperModel> load(const QString& path, int threads);
    ~WhisperModel() override;
    WhisperModel(const WhisperModel&) = delete;
    WhisperModel& operator=(const WhisperModel&) = delete;

    Decoded decode(const Decoding& decoding) override;
    void limitTokens(double perSecond) override { tokensPerSecond_ = perSecond; }

    static bool knowsLanguage(const QString& code);

private:
    WhisperModel(whisper_context* context, int threads) : context_(context), threads_(threads) {}

    std::mutex lock_;
    whisper_context* context_;
    const int threads_;
    std::atomic<double> tokensPerSecond_{0};
};

// Sends whisper.cpp's and Parakeet's messages to the recognizer's log category instead of the
// terminal: their errors as warnings, the rest as debug lines; callable from any thread.
void routeLibraryLog();

}  // namespace sonarel::whisper
