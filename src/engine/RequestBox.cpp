#include "engine/RequestBox.h"

namespace sonarel {

void RequestBox::set(std::shared_ptr<AudioBufferRecognitionRequest> request) {
    std::lock_guard guard(lock_);
    request_ = std::move(request);
}

void RequestBox::append(const AudioBuffer& buffer) {
    std::shared_ptr<AudioBufferRecognitionRequest> request;
    {
        std::lock_guard guard(lock_);
        request = request_;
    }
    if (request) {
        request->append(buffer);
    }
}

}  // namespace sonarel
