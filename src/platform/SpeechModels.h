#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace sonarel {

// The recognizer's model files, as the model manager sees them: which one is in use and whether
// it is ready, switching to another without a restart, and how fast this machine runs each
// published size. Callable from any thread.
class SpeechModels {
public:
    enum class State { none, loading, ready, failed };
    struct InUse {
        QString path;  // empty: no model file at all
        State state = State::none;
    };

    virtual ~SpeechModels() = default;

    virtual InUse inUse() = 0;
    // Uses the model file at `path` from the next recognizer on, and starts loading it; an empty
    // path goes back to the model folders' own choice.
    virtual void use(const QString& path) = 0;
    // Decodes the text shown while an utterance is spoken with the faster model file at `path`,
    // from the next recognizer on, and starts loading it; an empty path leaves everything to the
    // model in use.
    virtual void useForPartials(const QString& path) = 0;
    // Called, on any thread, whenever a load ends.
    virtual void setObserver(std::function<void()> observer) = 0;

    // The longest stretch of audio live decoding decodes in one pass, in seconds.
    virtual double liveWindow() const = 0;
    // The threads each live decoding runs on.
    virtual int liveThreads() const = 0;
    // How much one pass of `size`'s encoder costs next to another size's ("tiny", "base",
    // "small", "medium", "large-v3-turbo", "parakeet-v3"); nothing for an unknown size.
    virtual std::optional<double> encoderCost(const QString& size) const = 0;
    // The seconds one encoder pass over `liveWindow()` takes here with `threads` threads: of the
    // model file `path`, or when it is empty of random weights of `size`, whose cost is the
    // real one. Nothing when it does not run, or when `cancelled` is raised meanwhile. Takes
    // seconds and the model's memory: never call it on the main thread.
    virtual std::optional<double> timeEncoderPass(const QString& size, const QString& path,
                                                  int threads,
                                                  const std::atomic<bool>& cancelled) = 0;
    // Writes the 4-bit form (q4_0) of the downloaded model file `from` into `to`, as the
    // recognizer's own library makes it; answers why it failed, in Spanish (`to` is then not
    // written). Takes seconds: never call it on the main thread.
    virtual std::optional<QString> quantize(const QString& from, const QString& to) = 0;
};

}  // namespace sonarel
