#pragma once

#include "platform/SpeechModels.h"

#include <memory>
#include <mutex>

namespace sonarel::whisper {

class WhisperSpeechService;

// The whisper service's models for the model manager. Made before the service's first load, so
// that every load's end reaches the observer.
class WhisperSpeechModels : public SpeechModels {
public:
    explicit WhisperSpeechModels(WhisperSpeechService& service);

    InUse inUse() override;
    void use(const QString& path) override;
    void useForPartials(const QString& path) override;
    void setObserver(std::function<void()> observer) override;

    double liveWindow() const override;
    int liveThreads() const override;
    std::optional<double> encoderCost(const QString& size) const override;
    std::optional<double> timeEncoderPass(const QString& size, const QString& path, int threads,
                                          const std::atomic<bool>& cancelled) override;
    std::optional<QString> quantize(const QString& from, const QString& to) override;

private:
    struct Observer {
        std::mutex lock;
        std::function<void()> call;
    };
    WhisperSpeechService& service_;
    std::shared_ptr<Observer> observer_;
};

}  // namespace sonarel::whisper
