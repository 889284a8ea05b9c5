#include "engine/RequestBox.h"

namespace sonarel {

void RequestBox::set(std::shared_ptr<AudioBufferRecognitionRequest> request) {
    std::shared_ptr<AudioBufferRecognitionRequest> replaced;
    std::lock_guard guard(lock_);
    // Released after the lock, so that the request's last owner never frees it inside the lock.
    replaced = std::exchange(request_, std::move(request));
}

void RequestBox::append(const AudioBuffer& buffer) {
    std::lock_guard guard(lock_);
    if (request_) {
        request_->append(buffer);
    }
}

}  // namespace sonarel
