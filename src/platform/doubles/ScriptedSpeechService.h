#pragma once

#include "platform/SpeechService.h"
#include "platform/doubles/SerialWorker.h"

#include <QSet>

#include <atomic>
#include <mutex>
#include <vector>

namespace sonarel::doubles {

class ScriptedRequest : public AudioBufferRecognitionRequest {
public:
    explicit ScriptedRequest(RequestSettings settings) : settings(settings) {}
    bool requiresOnDeviceRecognition() const override {
        return settings.requiresOnDeviceRecognition;
    }
    void append(const AudioBuffer& buffer) override;
    void endAudio() override;

    const RequestSettings settings;
    std::atomic<long> framesAppended{0};
    std::atomic<int> buffersAppended{0};
    // Of the first channel: the frames whose sample is exactly 0, and the largest magnitude.
    std::atomic<long> silentFramesAppended{0};
    std::atomic<float> loudest{0};
    std::atomic<bool> ended{false};

private:
    friend class ScriptedRecognizer;
    std::function<void()> onEnd_;  // set once a task takes the request
};

class ScriptedFileRequest : public FileRecognitionRequest {
public:
    ScriptedFileRequest(RequestSettings settings, QString path)
        : settings(settings), path(std::move(path)) {}
    bool requiresOnDeviceRecognition() const override {
        return settings.requiresOnDeviceRecognition;
    }
    const RequestSettings settings;
    const QString path;
};

struct ScriptedTask : RecognitionTask {
    void cancel() override { cancelled = true; }
    std::shared_ptr<RecognitionRequest> request;
    RecognitionHandler handler;
    std::atomic<bool> cancelled{false};
    std::optional<QString> lastText;  // of the results delivered so far
};

// A speech service whose recognizers deliver what the test scripts, from a thread of their own.
class ScriptedSpeechService : public SpeechService {
public:
    ScriptedSpeechService() = default;
    ~ScriptedSpeechService() override;

    void requestAuthorization(std::function<void(SpeechAuthorization)> answer) override;
    std::unique_ptr<SpeechRecognizer> recognizerFor(const QString& localeId) override;

    // What the service answers.
    SpeechAuthorization authorization = SpeechAuthorization::Authorized;
    QSet<QString> localesWithoutRecognizer;
    bool available = true;
    bool onDeviceSupported = true;
    // When set, authorization answers wait until `answerAuthorizations()`, which returns once
    // they have been given.
    bool holdAuthorization = false;
    // Like a real recognizer, a task whose audio ends delivers its final result (its last text),
    // or the no-speech code 1110 when it heard nothing. When off, the test delivers it.
    bool finishWhenAudioEnds = true;

    // When set, recognizers are not ready (their model "loads") until `becomeReady`.
    bool holdReady = false;

    void answerAuthorizations();
    // Tells, from the service's thread, every recognizer waiting for its model that it loaded
    // (or not), and makes later ones ready at once.
    void becomeReady(bool loaded);
    // Delivers one callback of task `index` (in creation order) on the service's thread.
    void deliver(int index, std::optional<RecognitionResult> result,
                 std::optional<RecognitionError> error = std::nullopt);
    void deliverToLatest(std::optional<RecognitionResult> result,
                         std::optional<RecognitionError> error = std::nullopt);
    // Waits until every callback queued so far has been handed on.
    void waitIdle() { worker_.waitIdle(); }

    std::vector<std::shared_ptr<ScriptedTask>> tasks() const;
    std::shared_ptr<ScriptedTask> latestTask() const;
    std::shared_ptr<ScriptedRequest> requestOf(int index) const;
    QStringList localesAsked() const;

private:
    friend class ScriptedRecognizer;
    void addTask(std::shared_ptr<ScriptedTask> task);
    void audioEnded(const std::shared_ptr<ScriptedTask>& task);
    void whenReady(std::function<void(bool)> ready, bool available);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<ScriptedTask>> tasks_;
    std::vector<std::function<void(SpeechAuthorization)>> pendingAuthorizations_;
    std::vector<std::function<void(bool)>> pendingReady_;
    QStringList localesAsked_;
    SerialWorker worker_;
};

}  // namespace sonarel::doubles
