#pragma once

#include "platform/SpeechModels.h"

#include <QFile>

#include <map>
#include <mutex>

namespace sonarel::doubles {

// Speech models in memory: the model chosen with `use` is ready at once, and an encoder pass of
// a size takes the seconds a test sets in `passes` (nothing for a size not set).
class FakeSpeechModels : public SpeechModels {
public:
    explicit FakeSpeechModels(std::map<QString, double> passes = {}) : passes_(std::move(passes)) {}

    InUse inUse() override {
        std::lock_guard guard(lock_);
        return inUse_;
    }
    void use(const QString& path) override {
        std::function<void()> observer;
        {
            std::lock_guard guard(lock_);
            inUse_ = {path, path.isEmpty() ? State::none : State::ready};
            observer = observer_;
        }
        if (observer) {
            observer();
        }
    }
    void useForPartials(const QString&) override {}  // nothing here decodes
    void setObserver(std::function<void()> observer) override {
        std::lock_guard guard(lock_);
        observer_ = std::move(observer);
    }

    double liveWindow() const override { return 4; }
    int liveThreads() const override { return 1; }
    std::optional<double> encoderCost(const QString& size) const override { return pass(size); }
    std::optional<double> timeEncoderPass(const QString& size, const QString&, int,
                                          const std::atomic<bool>&) override {
        return pass(size);
    }
    // The "4-bit form" is a copy: the real quantizer has tests of its own.
    std::optional<QString> quantize(const QString& from, const QString& to) override {
        if (!QFile::copy(from, to)) {
            return QStringLiteral("No se pudo copiar %1.").arg(from);
        }
        return std::nullopt;
    }

private:
    std::optional<double> pass(const QString& size) const {
        const auto found = passes_.find(size);
        return found == passes_.end() ? std::nullopt : std::optional<double>(found->second);
    }

    const std::map<QString, double> passes_;
    std::mutex lock_;
    InUse inUse_;
    std::function<void()> observer_;
};

}  // namespace sonarel::doubles
