#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

struct whisper_context;

namespace sonarel::whisper {

// One loaded whisper model. Decoding is serialised: whisper.cpp keeps one decoding state per
// context, and tasks running side by side (an ending task and its successor) take turns.
class WhisperModel {
public:
    // The model in `path`, or null when the file is not a complete model or does not load.
    static std::shared_ptr<WhisperModel> load(const QString& path, int threads);
    ~WhisperModel();
    WhisperModel(const WhisperModel&) = delete;
    WhisperModel& operator=(const WhisperModel&) = delete;

    struct Decoding {
        // A decoding of `count` samples with the encoder context and token bound sized for them.
        static Decoding of(const float* samples, size_t count);

        const float* samples = nullptr;  // 16 kHz mono
        size_t count = 0;
        const char* language = "es";
        // Encoder frames to use (50 a second); fewer frames cost less. 0 = the full 30 s.
        int audioContext = 0;
        int maxTokens = 0;
        int threads = 0;  // 0: the model's own count
        QString prompt;   // text that came just before, to carry the style over
        const std::atomic<bool>* cancelled = nullptr;
    };
    enum class Outcome { done, cancelled, failed };
    struct Decoded {
        Outcome outcome = Outcome::failed;
        QString text;
        double cpuSeconds = 0;  // processor time the decoding took, over all its threads
    };

    // Transcribes up to 30 s of audio as one segment.
    Decoded decode(const Decoding& decoding);

    // For measurements with a random-weight model, which never ends a text by itself: ends each
    // decoding after the tokens that real speech of its length gives, `perSecond` of audio.
    void limitTokens(double perSecond) { tokensPerSecond_ = perSecond; }

    static bool knowsLanguage(const QString& code);

private:
    WhisperModel(whisper_context* context, int threads) : context_(context), threads_(threads) {}

    std::mutex lock_;
    whisper_context* context_;
    const int threads_;
    std::atomic<double> tokensPerSecond_{0};
};

// Sends whisper.cpp's messages to the recognizer's log category instead of the terminal: its
// errors as warnings, the rest as debug lines; callable from any thread.
void routeLibraryLog();

// Audio context for `seconds` of audio: the frames it covers plus a margin, whole 16-frame blocks.
int audioContextFor(double seconds);
// A bound on the tokens of `seconds` of speech, above any real speaker's pace.
int maxTokensFor(double seconds);

}  // namespace sonarel::whisper
