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
    {
        std::lock_guard guard(lock_);
        state_ = model ? State::ready : State::failed;
        model_ = std::move(model);
    }
    done_.notify_all();
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
