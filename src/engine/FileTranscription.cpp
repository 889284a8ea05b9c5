#include "engine/FileTranscription.h"

#include "platform/MainThread.h"

#include <memory>

namespace sonarel {

void ResumeOnce::finish(TranscriptionOutcome outcome) {
    std::optional<Continuation> c;
    {
        std::lock_guard guard(lock_);
        c.swap(c_);
    }
    if (c) {
        (*c)(std::move(outcome));
    }
}

void transcribirArchivo(SpeechService& speech, const QString& path, const QString& localeID,
                        std::function<void(TranscriptionOutcome)> done) {
    auto answer = [done = std::move(done)](TranscriptionOutcome outcome) mutable {
        postToMain([done = std::move(done), outcome = std::move(outcome)] { done(outcome); });
    };
    std::shared_ptr<SpeechRecognizer> recognizer = speech.recognizerFor(localeID);
    if (!recognizer) {
        answer(FalloVoz{QStringLiteral("No hay reconocedor para ") + localeID});
        return;
    }
    if (!recognizer->isAvailable()) {
        answer(FalloVoz{QStringLiteral("Reconocedor no disponible para ") + localeID});
        return;
    }
    RequestSettings settings;
    settings.addsPunctuation = true;
    settings.requiresOnDeviceRecognition = recognizer->supportsOnDeviceRecognition();
    std::shared_ptr<FileRecognitionRequest> request = recognizer->makeFileRequest(path, settings);

    // The recognizer and the request live until the answer is back on the main thread.
    auto once = std::make_shared<ResumeOnce>(
        [answer = std::move(answer), recognizer, request](TranscriptionOutcome outcome) mutable {
            postToMain([recognizer = std::move(recognizer), request = std::move(request)] {});
            answer(std::move(outcome));
        });
    recognizer->startTask(request, [once](std::optional<RecognitionResult> result,
                                          std::optional<RecognitionError> error) {
        if (error) {
            once->finish(
                FalloVoz{QString::number(error->code) + QStringLiteral(": ") + error->description});
        } else if (result && result->isFinal) {
            once->finish(result->text);
        }
    });
}

}  // namespace sonarel
