#pragma once

#include "platform/AudioInput.h"
#include "platform/pulse/PulseConnection.h"

namespace sonarel {

// The desktop has no consent prompt for the microphone: consent is granted unless the sound
// server refuses us. A server that cannot be reached at all is no refusal; the start of the
// capture then says what is wrong. Answers on the calling thread.
class PulseMicrophoneConsent : public MicrophoneConsent {
public:
    explicit PulseMicrophoneConsent(PulseConnection& pulse) : pulse_(pulse) {}
    void requestAccess(std::function<void(bool granted)> answer) override;

private:
    PulseConnection& pulse_;
};

}  // namespace sonarel
