#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/ModelLoad.h"
#include "platform/whisper/RecognitionModel.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace sonarel::whisper {

// Turns the utterances of one task into its text: decodes each with the model (once it has
// loaded), with the text before it as prompt, takes the punctuation off when it is not wanted,
// and keeps the text of the utterances closed so far. Its failures carry the sentences the user
// reads. With a partial model beside it, the text shown while an utterance is spoken comes from
// that fast model, and only the text an utterance keeps from the accurate one.
class Transcriber {
public:
    struct Options {
        std::string language;
        bool addsPunctuation = true;
        int threads = 0;  // 0: the model's own count
        // The user's names and terms, in the prompt of every decoding that closes an utterance.
        QStringList vocabulary;
    };
    // `cancelled` ends the task, and so a wait for the model. `partial`, when given, decodes the
    // text that no utterance keeps; until it is ready, or when it fails, `load`'s model does.
    Transcriber(std::shared_ptr<ModelLoad> load, Options options,
                const std::atomic<bool>* cancelled, std::shared_ptr<ModelLoad> partial = nullptr);

    // Waits for the model; answers the failure when there is none. (`decode` waits by itself.)
    std::optional<RecognitionError> waitForModel();

    struct Decoded {
        std::optional<QString> text;            // none: stopped or failed
        std::optional<RecognitionError> error;  // why it failed
        double seconds = 0;                     // how long it took
        double cpuSeconds = 0;
        bool accurate = true;  // by the model whose text an utterance keeps
    };
    // The text of `count` samples whose voice stood out by `contrast` (see SpeechEvidence.h):
    // empty, without decoding, when it did not, and empty when the model judges that nobody
    // spoke. `closing`: the text may become an utterance's, so it comes from the accurate model
    // and follows the text before it. `stop` ends the decoding early, with neither text nor
    // error.
    Decoded decode(const float* samples, size_t count, bool closing, const std::atomic<bool>* stop,
                   double contrast);

    // Keeps the text of a closed utterance.
    void commit(const QString& text);
    // The task's whole text, with `open` (the text of the utterance under way) at its end.
    QString text(const QString& open = {}) const;

    static RecognitionError noSpeech();

private:
    QString prompt() const;
    // The model for a decoding that no utterance keeps.
    RecognitionModel& partialModel();

    std::shared_ptr<ModelLoad> load_;
    std::shared_ptr<RecognitionModel> model_;  // once the load is over
    std::shared_ptr<ModelLoad> partial_;
    const Options options_;
    const std::atomic<bool>* const cancelled_;
    QStringList committed_;
};

}  // namespace sonarel::whisper
