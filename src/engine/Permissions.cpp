#include "engine/Permissions.h"

#include "platform/MainThread.h"

namespace sonarel {

void requestPermissions(SpeechService& speech, MicrophoneConsent& microphone,
                        std::function<void(PermissionAnswer)> done) {
    speech.requestAuthorization(
        [&microphone, done = std::move(done)](SpeechAuthorization state) mutable {
            const bool speechGranted = state == SpeechAuthorization::Authorized;
            microphone.requestAccess([speechGranted, done = std::move(done)](bool mic) mutable {
                postToMain([speechGranted, mic, done = std::move(done)] {
                    done({speechGranted, mic});
                });
            });
        });
}

bool onDeviceAvailable(SpeechService& speech, const QString& localeId) {
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.recognizerFor(localeId);
    return recognizer && recognizer->supportsOnDeviceRecognition();
}

}  // namespace sonarel
