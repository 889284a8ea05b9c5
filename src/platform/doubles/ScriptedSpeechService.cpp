#include "platform/doubles/ScriptedSpeechService.h"

#include <algorithm>
#include <cmath>

namespace sonarel::doubles {

void ScriptedRequest::append(const AudioBuffer& buffer) {
    // Like a real request, one whose audio has ended takes no more.
    if (ended) {
        return;
    }
    framesAppended += buffer.frameCount;
    ++buffersAppended;
    if (buffer.channels == nullptr || buffer.channelCount == 0) {
        return;
    }
    const float* samples = buffer.channels[0];
    silentFramesAppended += std::count(samples, samples + buffer.frameCount, 0.0f);
    for (int i = 0; i < buffer.frameCount; ++i) {
        loudest = std::max(loudest.load(), std::abs(samples[i]));
    }
}

void ScriptedRequest::endAudio() {
    if (!ended.exchange(true) && onEnd_) {
        onEnd_();
    }
}

class ScriptedRecognizer : public SpeechRecognizer {
public:
    ScriptedRecognizer(ScriptedSpeechService& service, bool available, bool onDevice)
        : service_(service), available_(available), onDevice_(onDevice) {}

    bool isAvailable() const override { return available_; }
    bool supportsOnDeviceRecognition() const override { return onDevice_; }
    void whenReady(std::function<void(bool loaded)> ready) override {
        service_.whenReady(std::move(ready), available_);
    }

    std::shared_ptr<AudioBufferRecognitionRequest> makeAudioBufferRequest(
        const RequestSettings& settings) override {
        return std::make_shared<ScriptedRequest>(settings);
    }
    std::shared_ptr<FileRecognitionRequest> makeFileRequest(
        const QString& path, const RequestSettings& settings) override {
        return std::make_shared<ScriptedFileRequest>(settings, path);
    }
    std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                               RecognitionHandler handler) override {
        auto task = std::make_shared<ScriptedTask>();
        task->request = request;
        task->handler = std::move(handler);
        service_.addTask(task);
        if (auto live = std::dynamic_pointer_cast<ScriptedRequest>(request)) {
            std::weak_ptr<ScriptedTask> weak = task;
            live->onEnd_ = [this, weak] {
                if (auto ending = weak.lock()) {
                    service_.audioEnded(ending);
                }
            };
        }
        return task;
    }

private:
    ScriptedSpeechService& service_;
    const bool available_;
    const bool onDevice_;
};

ScriptedSpeechService::~ScriptedSpeechService() {
    worker_.waitIdle();
}

void ScriptedSpeechService::requestAuthorization(std::function<void(SpeechAuthorization)> answer) {
    std::lock_guard lock(mutex_);
    pendingAuthorizations_.push_back(std::move(answer));
    if (!holdAuthorization) {
        for (auto& pending : pendingAuthorizations_) {
            worker_.run([pending = std::move(pending), state = authorization] { pending(state); });
        }
        pendingAuthorizations_.clear();
    }
}

void ScriptedSpeechService::answerAuthorizations() {
    {
        std::lock_guard lock(mutex_);
        for (auto& pending : pendingAuthorizations_) {
            worker_.run([pending = std::move(pending), state = authorization] { pending(state); });
        }
        pendingAuthorizations_.clear();
    }
    // The answers reach the microphone consent, which a test may destroy right after.
    worker_.waitIdle();
}

std::unique_ptr<SpeechRecognizer> ScriptedSpeechService::recognizerFor(const QString& localeId) {
    {
        std::lock_guard lock(mutex_);
        localesAsked_.append(localeId);
    }
    if (localesWithoutRecognizer.contains(localeId)) {
        return nullptr;
    }
    return std::make_unique<ScriptedRecognizer>(*this, available, onDeviceSupported);
}

void ScriptedSpeechService::whenReady(std::function<void(bool)> ready, bool available) {
    std::lock_guard lock(mutex_);
    if (holdReady) {
        pendingReady_.push_back(std::move(ready));
    } else {
        worker_.run([ready = std::move(ready), available] { ready(available); });
    }
}

void ScriptedSpeechService::becomeReady(bool loaded) {
    std::lock_guard lock(mutex_);
    holdReady = false;
    for (auto& ready : pendingReady_) {
        worker_.run([ready = std::move(ready), loaded] { ready(loaded); });
    }
    pendingReady_.clear();
}

void ScriptedSpeechService::addTask(std::shared_ptr<ScriptedTask> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

void ScriptedSpeechService::deliver(int index, std::optional<RecognitionResult> result,
                                    std::optional<RecognitionError> error) {
    std::shared_ptr<ScriptedTask> task = tasks().at(static_cast<size_t>(index));
    if (result) {
        std::lock_guard lock(mutex_);
        task->lastText = result->text;
    }
    worker_.run([task, result, error] { task->handler(result, error); });
}

void ScriptedSpeechService::audioEnded(const std::shared_ptr<ScriptedTask>& task) {
    if (!finishWhenAudioEnds || task->cancelled) {
        return;
    }
    std::optional<QString> text;
    {
        std::lock_guard lock(mutex_);
        text = task->lastText;
    }
    if (text) {
        worker_.run([task, text] { task->handler(RecognitionResult{*text, true}, std::nullopt); });
    } else {
        worker_.run([task] {
            task->handler(std::nullopt,
                          RecognitionError{1110, QStringLiteral("kAFAssistantErrorDomain"),
                                           QStringLiteral("No speech detected")});
        });
    }
}

void ScriptedSpeechService::deliverToLatest(std::optional<RecognitionResult> result,
                                            std::optional<RecognitionError> error) {
    deliver(static_cast<int>(tasks().size()) - 1, std::move(result), std::move(error));
}

std::vector<std::shared_ptr<ScriptedTask>> ScriptedSpeechService::tasks() const {
    std::lock_guard lock(mutex_);
    return tasks_;
}

std::shared_ptr<ScriptedTask> ScriptedSpeechService::latestTask() const {
    std::lock_guard lock(mutex_);
    return tasks_.empty() ? nullptr : tasks_.back();
}

std::shared_ptr<ScriptedRequest> ScriptedSpeechService::requestOf(int index) const {
    return std::dynamic_pointer_cast<ScriptedRequest>(
        tasks().at(static_cast<size_t>(index))->request);
}

QStringList ScriptedSpeechService::localesAsked() const {
    std::lock_guard lock(mutex_);
    return localesAsked_;
}

}  // namespace sonarel::doubles
