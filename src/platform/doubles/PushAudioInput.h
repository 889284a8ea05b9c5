#pragma once

#include "platform/AudioInput.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace sonarel::doubles {

// An audio input that delivers buffers the test makes, from a thread of its own.
class PushAudioInput : public AudioInput {
public:
    ~PushAudioInput() override;

    AudioFormat inputFormat() override { return format; }
    void installTap(int framesPerBuffer, AudioFormat tapFormat, Tap tap,
                    Interruption interrupted) override;
    void removeTap() override;
    std::optional<QString> start() override;
    bool isRunning() const override { return running_; }
    void stop() override;
    std::vector<AudioSource> sources() override { return sourceList; }
    void chooseSource(const QString& name) override { chosen = name; }
    bool choiceMissing() const override { return missing; }

    AudioFormat format{48000, 1};
    std::vector<AudioSource> sourceList;
    QString chosen;                     // what the last `chooseSource` named
    bool missing = false;               // what `choiceMissing` answers
    std::optional<QString> startError;  // what the next start fails with, if set

    // Delivers one buffer (one vector of samples per channel) from another thread, and waits
    // until the tap has returned. Nothing is delivered while no tap is installed.
    void push(const std::vector<std::vector<float>>& channels);
    // A buffer of `frames` frames whose every sample of every channel is `value`.
    void pushConstant(float value, int frames = 2048);
    // Delivers buffers of `value` continuously from another thread until `stopStreaming()`.
    void startStreaming(float value);
    void stopStreaming();
    // Keeps `frames` frames of `value` back, as a real input keeps a part-filled buffer: `stop`
    // hands them to the tap.
    void hold(int frames, float value);
    // Frames handed to a tap so far.
    long framesDelivered() const { return framesDelivered_; }
    // Reports, from another thread, that the device went away.
    void interrupt(const QString& description);

    int starts() const { return starts_; }
    int framesPerBuffer() const { return framesPerBuffer_; }
    bool hasTap() const;

private:
    void deliver(const std::vector<std::vector<float>>& channels);

    mutable std::mutex tapMutex_;  // held while the tap runs, so removeTap waits for it
    Tap tap_;
    Interruption interrupted_;
    std::atomic<bool> running_{false};
    std::atomic<bool> streaming_{false};
    std::thread streamer_;
    std::atomic<long> framesDelivered_{0};
    std::vector<std::vector<float>> held_;
    int starts_ = 0;
    int framesPerBuffer_ = 0;
};

// A consent that answers from another thread; with `hold` set, only when the test says so.
class FakeMicrophoneConsent : public MicrophoneConsent {
public:
    void requestAccess(std::function<void(bool granted)> answer) override;
    void answerPending();

    std::atomic<bool> granted{true};
    std::atomic<bool> hold{false};
    std::atomic<int> requests{0};

private:
    std::mutex mutex_;
    std::vector<std::function<void(bool)>> pending_;
};

}  // namespace sonarel::doubles
