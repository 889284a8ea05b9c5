#pragma once

#include "platform/SpeechService.h"

#include <memory>
#include <mutex>

namespace sonarel {

// Holds the request that receives captured audio. The main thread replaces it at every rotation
// while the capture thread keeps appending; the lock guards only the reference, never the append.
class RequestBox {
public:
    void set(std::shared_ptr<AudioBufferRecognitionRequest> request);
    void append(const AudioBuffer& buffer);

private:
    std::mutex lock_;
    std::shared_ptr<AudioBufferRecognitionRequest> request_;
};

}  // namespace sonarel
