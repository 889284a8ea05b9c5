#include "platform/whisper/ModelLoad.h"

#include <QFileInfo>

#include <chrono>

namespace sonarel::whisper {

ModelLoad::ModelLoad(QString path)
    : path_(std::move(path)),
      size_(QFileInfo(path_).size()),
      modified_(QFileInfo(path_).lastModified()) {}

std::shared_ptr<ModelLoad> ModelLoad::finished(QString path,
                                               std::shared_ptr<RecognitionModel> model) {
    auto load = std::make_shared<ModelLoad>(std::move(path));
    load->finish(std::move(model));
    return load;
}

bool ModelLoad::readsCurrentFile() const {
    const QFileInfo file(path_);
    return file.isFile() && file.size() == size_ && file.lastModified() == modified_;
}

ModelLoad::State ModelLoad::state() const {
    std::lock_guard guard(lock_);
    return state_;
}

void ModelLoad::finish(std::shared_ptr<RecognitionModel> model) {
    std::vector<std::function<void(bool)>> waiting;
    bool loaded = false;
    {
        std::lock_guard guard(lock_);
        state_ = model ? State::ready : State::failed;
        loaded = model != nullptr;
        model_ = std::move(model);
        waiting.swap(waiting_);
    }
    done_.notify_all();
    for (const auto& done : waiting) {
        done(loaded);
    }
}

void ModelLoad::whenDone(std::function<void(bool loaded)> done) {
    bool loaded = false;
    {
        std::lock_guard guard(lock_);
        if (state_ == State::loading) {
            waiting_.push_back(std::move(done));
            return;
        }
        loaded = state_ == State::ready;
    }
    done(loaded);
}

std::shared_ptr<RecognitionModel> ModelLoad::wait(const std::atomic<bool>* cancelled) const {
    // In slices, so that a cancel raised meanwhile is seen promptly.
    constexpr auto kSlice = std::chrono::milliseconds(20);
    std::unique_lock guard(lock_);
    while (state_ == State::loading) {
        if (cancelled && cancelled->load()) {
            return nullptr;
        }
        done_.wait_for(guard, kSlice);
    }
    return model_;
}

}  // namespace sonarel::whisper
