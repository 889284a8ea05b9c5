#include "platform/pulse/PulseMicrophoneConsent.h"

#include "platform/pulse/PulseMessages.h"

namespace sonarel {

void PulseMicrophoneConsent::requestAccess(std::function<void(bool granted)> answer) {
    bool refused = false;
    {
        PulseConnection::Lock lock(pulse_);
        int error = 0;
        refused = pulse_.ready(error) == nullptr && pulse::isRefusal(error);
    }
    answer(!refused);
}

}  // namespace sonarel
