#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/ModelLoad.h"
#include "platform/whisper/Resampler.h"
#include "platform/whisper/TaskRunner.h"
#include "platform/whisper/WhisperModel.h"

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <functional>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sonarel::whisper {

// The 16 kHz mono audio of one live request, on its way from the capture thread to the worker.
class LiveStream {
public:
    void append(const AudioBuffer& buffer);
    void end();
    void wake();
    // Raised once the input has ended: a partial decode under way is then of no use.
    const std::atomic<bool>* endedFlag() const { return &endedFlag_; }
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
    std::atomic<bool> endedFlag_{false};
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
// short window, so that a partial result costs the same late in a task as early in it.
class LiveJob : public Job {
public:
    struct Tuning {
        double pause = 0.5;           // silence that closes an utterance
        double leadIn = 0.3;          // audio kept before the first voiced frame
        double longestUtterance = 4;  // then it is cut at its quietest point
        double partialStep = 0.25;    // new audio before the next partial decode
        // For measurements: called before each result with the task's audio it covers (in
        // 16 kHz samples), the seconds its decoding took (0 when it needed none), and its text.
        std::function<void(size_t covered, double decodeSeconds, bool partial, const QString& text)>
            observe;
    };

    LiveJob(std::shared_ptr<LiveStream> stream, std::shared_ptr<ModelLoad> model,
            std::string language, bool addsPunctuation, RecognitionHandler handler, Tuning tuning);
    void run() override;
    void cancel() override;

private:
    bool commit(size_t end);
    // The text of the utterance's first `end` samples; nothing when the task is over (cancelled,
    // or failed and the failure delivered), or when a partial decode gave way to the end of the
    // input.
    std::optional<QString> decode(size_t end, bool partial);
    QString wholeText(const QString& partial) const;
    size_t quietestCut() const;
    void drop(size_t count);
    void deliver(RecognitionResult result, bool partial);

    std::shared_ptr<LiveStream> stream_;
    std::shared_ptr<ModelLoad> load_;
    std::shared_ptr<WhisperModel> model_;  // once the load is over
    const std::string language_;
    const bool addsPunctuation_;
    Delivery deliver_;
    const Tuning tuning_;

    std::vector<float> utterance_;  // the current utterance, from its lead-in on
    QStringList committed_;
    size_t consumed_ = 0;  // samples of the task moved into utterances so far
    double decodeSeconds_ = 0;
};

}  // namespace sonarel::whisper
