#pragma once

#include "platform/AudioInput.h"
#include "platform/SpeechService.h"

#include <functional>

namespace sonarel {

struct PermissionAnswer {
    bool speech = false;
    bool mic = false;
};

// Asks for speech recognition first and then, whatever that answer was, for the microphone;
// never both at once. `done` runs on the main thread, once.
void requestPermissions(SpeechService& speech, MicrophoneConsent& microphone,
                        std::function<void(PermissionAnswer)> done);

// True when a recognizer exists for the locale and can run on the device. Asks afresh each time.
bool onDeviceAvailable(SpeechService& speech, const QString& localeId);

}  // namespace sonarel
