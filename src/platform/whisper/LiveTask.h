#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/CpuBudget.h"
#include "platform/whisper/ModelLoad.h"
#include "platform/whisper/Resampler.h"
#include "platform/whisper/Segmenter.h"
#include "platform/whisper/TaskRunner.h"
#include "platform/whisper/Transcriber.h"

#include <QString>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sonarel::whisper {

// The 16 kHz mono audio of one live request, on its way from the capture thread to the worker.
class LiveStream {
public:
    void append(const AudioBuffer& buffer);
    void end();
    // Ends the input and gives up the decoding under way: the task is cancelled.
    void abandon();
    void wake();
    // Raised when a partial decode under way is of no more use: the input ended with words the
    // decode did not hear (audio not yet taken that may hold speech), or the task was cancelled.
    const std::atomic<bool>* partialStale() const { return &partialStale_; }
    // The rate of the audio that ended the input because the resampler does not take it.
    std::optional<double> refusedRate();
    // Moves what has arrived into `into`, waiting up to `timeout` when nothing has; answers
    // whether the input has ended (everything it held is then in `into`).
    bool take(std::vector<float>& into, std::chrono::milliseconds timeout,
              const std::atomic<bool>& cancelled);

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<float> pending_;
    std::unique_ptr<Resampler> resampler_;
    std::optional<double> refusedRate_;
    bool ended_ = false;
    std::atomic<bool> partialStale_{false};
};

class LiveRequest : public AudioBufferRecognitionRequest {
public:
    explicit LiveRequest(RequestSettings settings)
        : settings_(settings), stream_(std::make_shared<LiveStream>()) {}
    // Dropping the request ends its input; this may happen on the capture thread, so it only
    // flags the stream.
    ~LiveRequest() override { stream_->end(); }
    bool requiresOnDeviceRecognition() const override { return true; }
    void append(const AudioBuffer& buffer) override { stream_->append(buffer); }
    void endAudio() override { stream_->end(); }

    const RequestSettings& settings() const { return settings_; }
    const std::shared_ptr<LiveStream>& stream() const { return stream_; }

private:
    const RequestSettings settings_;
    std::shared_ptr<LiveStream> stream_;
};

// Recognises a live request on its own thread. Speech is cut into utterances at pauses (and
// at a quiet point when an utterance grows too long); a closed utterance is decoded once and
// its text kept, and while speech goes on the current utterance is decoded again on its own
// short window, so that a partial result costs the same late in a task as early in it. Given a
// partial model, the text shown while an utterance is spoken comes from it, and the utterance's
// own text from the accurate model: at once when the voice stops, else when the utterance closes.
class LiveJob : public Job {
public:
    struct Tuning {
        double pause = 0.5;           // silence that closes an utterance
        double leadIn = 0.3;          // audio kept before the first voiced frame
        double longestUtterance = 4;  // then it is cut at its quietest point
        // New audio before the next partial decode: partials every 0.3 s rather than 0.25 s
        // leave the processor budget room for the ones that matter at the end of a long
        // utterance (lag p95 0.59 s instead of 0.68 s, 0.96 cores instead of 1.0).
        double partialStep = 0.3;
        // Threads of each decoding: two where there are two cores (a partial then shows in half
        // the time), half the cores beyond four. They wait for each other sleeping (see
        // SleepingWaits.h); spinning, two threads were many times slower than one beside any
        // other busy program.
        int threads =
            std::min(QThread::idealThreadCount(), std::max(2, QThread::idealThreadCount() / 2));
        // Cores the decodes may use on average before a partial waits (0: any): half the
        // machine, so that the application being dictated into keeps the other half.
        double cpuBudget = QThread::idealThreadCount() / 2.0;
        double cpuBurst = 1;          // core-seconds saved up for the start of an utterance
        double speechStopped = 0.15;  // silence after which the last words are decoded at once
        int niceness = 5;             // nice levels below the desktop's
        // For measurements: called before each result with the task's audio its text covers (in
        // 16 kHz samples), the seconds its decoding took (0 when it needed none), and its text.
        std::function<void(size_t covered, double decodeSeconds, bool partial, const QString& text)>
            observe;
    };

    LiveJob(std::shared_ptr<LiveStream> stream, std::shared_ptr<ModelLoad> model,
            std::string language, bool addsPunctuation, RecognitionHandler handler, Tuning tuning,
            QStringList vocabulary = {}, std::shared_ptr<ModelLoad> partialModel = nullptr);
    void run() override;
    void cancel() override;

private:
    // The text the last partial result gave: that of the utterance's first `end` samples.
    struct Partial {
        size_t end = 0;
        QString text;
        bool accurate = true;  // from the model whose text the utterance keeps
    };

    bool partialDue() const;
    bool speechStopped() const;
    // Each answers false when the task is over: cancelled, or failed and the failure delivered.
    bool decodePartial();
    // Takes the text of the utterance's first `end` samples and moves on past them.
    bool close(size_t end);
    void finish();
    bool fail(const std::optional<RecognitionError>& error);
    void spend(const Transcriber::Decoded& decoded);
    void deliver(const QString& text, bool isFinal, size_t covered, bool partial);
    double now() const;

    std::shared_ptr<LiveStream> stream_;
    Delivery deliver_;
    const Tuning tuning_;
    Segmenter segmenter_;
    Transcriber transcriber_;
    CpuBudget budget_;
    std::optional<Partial> partial_;
    size_t consumed_ = 0;       // samples of the task handed to the segmenter
    double decodeSeconds_ = 0;  // of the result about to be delivered
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace sonarel::whisper
