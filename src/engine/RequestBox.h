#pragma once

#include "platform/SpeechService.h"

#include <memory>
#include <mutex>
#include <utility>

namespace sonarel {

// Holds the request that receives captured audio. The main thread replaces it at every rotation
// while the capture thread keeps appending. The lock is held through an append, so that once
// `set` returns no buffer is still on its way into the request it replaced: that one may then
// be ended without losing a frame. An append only copies samples, so the wait is short.
class RequestBox {
public:
    void set(std::shared_ptr<AudioBufferRecognitionRequest> request);
    void append(const AudioBuffer& buffer);

private:
    std::mutex lock_;
    std::shared_ptr<AudioBufferRecognitionRequest> request_;
};

}  // namespace sonarel
