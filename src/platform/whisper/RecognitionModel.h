#pragma once

#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace sonarel::whisper {

// One loaded speech model, whichever library runs it: a whisper model, or a Parakeet one. The
// tasks above it (segmenting, partials, the processor budget, cancellation, errors) are the same
// for both; only the decoding of a stretch of audio differs. Decoding is serialised per model.
class RecognitionModel {
public:
    virtual ~RecognitionModel() = default;

    struct Decoding {
        // A decoding of `count` samples with the encoder context and token bound sized for them.
        static Decoding of(const float* samples, size_t count);

        const float* samples = nullptr;  // 16 kHz mono
        size_t count = 0;
        const char* language = "es";  // whisper only: Parakeet finds the language by itself
        // Encoder frames to use (50 a second); fewer frames cost less. 0 = the full 30 s.
        int audioContext = 0;
        int maxTokens = 0;
        int threads = 0;  // 0: the model's own count
        QString prompt;   // text that came just before, to carry the style over (whisper only)
        const std::atomic<bool>* cancelled = nullptr;
    };
    enum class Outcome { done, cancelled, failed };
    struct Decoded {
        Outcome outcome = Outcome::failed;
        QString text;
        double cpuSeconds = 0;  // processor time the decoding took, over all its threads
        // How sure the model is that the audio held no speech, 0 to 1: whisper's figure for its
        // segment. Parakeet gives none (0): its decoding writes blanks, not phrases, on noise.
        double noSpeech = 0;
    };

    // Transcribes up to 30 s of audio as one segment.
    virtual Decoded decode(const Decoding& decoding) = 0;

    // For measurements with a random-weight model, which never ends a text by itself: ends each
    // decoding after the tokens that real speech of its length gives, `perSecond` of audio.
    // Only whisper's decoder needs it: Parakeet's emits a bounded number of tokens per frame.
    virtual void limitTokens(double /*perSecond*/) {}

protected:
    // The steps both libraries' decodings share: pads audio shorter than `minimumSamples` with
    // silence, takes `lock` (one decoding at a time per model), gives up when the cancel flag is
    // raised before or during `run`, times the processor, and on success lets `collect` fill in
    // the text (its blanks simplified after) and figures. `run` answers the library's status (0:
    // done); anything it throws counts as a failure.
    static Decoded runDecoding(std::mutex& lock, const Decoding& decoding, size_t minimumSamples,
                               const std::function<int(const float*, int)>& run,
                               const std::function<void(Decoded&)>& collect);
};

// Whether the cancel flag `flag` (a `const std::atomic<bool>*`, or null) is raised, in the shape
// of the libraries' abort callbacks.
bool cancelRaised(void* flag);

// The model in the file at `path`, whisper's or Parakeet's by its contents, or null when the
// file is neither a complete model nor loads.
std::shared_ptr<RecognitionModel> loadRecognitionModel(const QString& path, int threads);

// Audio context for `seconds` of audio: the frames it covers plus a margin, whole 16-frame blocks.
int audioContextFor(double seconds);
// A bound on the tokens of `seconds` of speech, above any real speaker's pace.
int maxTokensFor(double seconds);
// The processor time this process has taken, in seconds.
double processCpuSeconds();

}  // namespace sonarel::whisper
