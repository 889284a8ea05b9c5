#include "platform/doubles/PushAudioInput.h"

#include <utility>

namespace sonarel::doubles {

PushAudioInput::~PushAudioInput() {
    stopStreaming();
}

void PushAudioInput::installTap(int framesPerBuffer, AudioFormat, Tap tap,
                                Interruption interrupted) {
    std::lock_guard lock(tapMutex_);
    tap_ = std::move(tap);
    interrupted_ = std::move(interrupted);
    framesPerBuffer_ = framesPerBuffer;
}

void PushAudioInput::removeTap() {
    std::lock_guard lock(tapMutex_);
    tap_ = nullptr;
    interrupted_ = nullptr;
}

bool PushAudioInput::hasTap() const {
    std::lock_guard lock(tapMutex_);
    return static_cast<bool>(tap_);
}

std::optional<QString> PushAudioInput::start() {
    ++starts_;
    if (startError) {
        return startError;
    }
    running_ = true;
    return std::nullopt;
}

void PushAudioInput::stop() {
    running_ = false;
    if (!held_.empty()) {
        deliver(std::exchange(held_, {}));
    }
}

void PushAudioInput::hold(int frames, float value) {
    held_.assign(static_cast<size_t>(std::max(format.channelCount, 1)),
                 std::vector<float>(static_cast<size_t>(frames), value));
}

void PushAudioInput::deliver(const std::vector<std::vector<float>>& channels) {
    std::vector<const float*> pointers;
    for (const auto& channel : channels) {
        pointers.push_back(channel.data());
    }
    AudioBuffer buffer;
    buffer.channels = pointers.data();
    buffer.channelCount = static_cast<int>(channels.size());
    buffer.frameCount = channels.empty() ? 0 : static_cast<int>(channels.front().size());
    buffer.sampleRate = format.sampleRate;
    std::lock_guard lock(tapMutex_);
    if (tap_) {
        tap_(buffer);
        framesDelivered_ += buffer.frameCount;
    }
}

void PushAudioInput::push(const std::vector<std::vector<float>>& channels) {
    std::thread([this, &channels] { deliver(channels); }).join();
}

void PushAudioInput::pushConstant(float value, int frames) {
    const int channelCount = std::max(format.channelCount, 1);
    push(std::vector<std::vector<float>>(static_cast<size_t>(channelCount),
                                         std::vector<float>(static_cast<size_t>(frames), value)));
}

void PushAudioInput::startStreaming(float value) {
    stopStreaming();
    streaming_ = true;
    streamer_ = std::thread([this, value] {
        const std::vector<std::vector<float>> channels(
            static_cast<size_t>(std::max(format.channelCount, 1)), std::vector<float>(2048, value));
        while (streaming_) {
            deliver(channels);
            std::this_thread::yield();
        }
    });
}

void PushAudioInput::stopStreaming() {
    streaming_ = false;
    if (streamer_.joinable()) {
        streamer_.join();
    }
}

void PushAudioInput::interrupt(const QString& description) {
    std::thread([this, description] {
        std::lock_guard lock(tapMutex_);
        running_ = false;
        if (interrupted_) {
            interrupted_(description);
        }
    }).join();
}

void FakeMicrophoneConsent::requestAccess(std::function<void(bool granted)> answer) {
    ++requests;
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(answer));
    }
    if (!hold) {
        answerPending();
    }
}

void FakeMicrophoneConsent::answerPending() {
    std::vector<std::function<void(bool)>> answers;
    {
        std::lock_guard lock(mutex_);
        answers.swap(pending_);
    }
    for (auto& answer : answers) {
        std::thread([&answer, granted = granted.load()] { answer(granted); }).join();
    }
}

}  // namespace sonarel::doubles
