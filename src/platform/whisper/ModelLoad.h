#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace sonarel::whisper {

class RecognitionModel;

// One model file on its way into memory. Loading takes seconds, so it happens on a thread of
// its own; tasks hold the load and wait for the model only when they first decode, keeping the
// audio that arrives meanwhile.
class ModelLoad {
public:
    enum class State { loading, ready, failed };

    // A load of the file at `path` that `finish` will complete.
    explicit ModelLoad(QString path);
    // A load that is already over, with `model` (null: failed).
    static std::shared_ptr<ModelLoad> finished(QString path,
                                               std::shared_ptr<RecognitionModel> model);

    const QString& path() const { return path_; }
    // Whether the file is still the one this load read: a file replaced or mended since then
    // (another size or time of change) calls for a new load.
    bool readsCurrentFile() const;

    State state() const;
    void finish(std::shared_ptr<RecognitionModel> model);
    // Calls `done` once the load is over (at once when it is), with whether the model loaded:
    // on the loading thread, or the caller's.
    void whenDone(std::function<void(bool loaded)> done);
    // The model once loaded; null when the load failed, or when `cancelled` was raised first.
    std::shared_ptr<RecognitionModel> wait(const std::atomic<bool>* cancelled) const;

private:
    const QString path_;
    const qint64 size_;
    const QDateTime modified_;
    mutable std::mutex lock_;
    mutable std::condition_variable done_;
    State state_ = State::loading;
    std::shared_ptr<RecognitionModel> model_;
    std::vector<std::function<void(bool)>> waiting_;
};

}  // namespace sonarel::whisper
