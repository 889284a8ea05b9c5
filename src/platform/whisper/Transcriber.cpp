#include "platform/whisper/Transcriber.h"

#include "platform/whisper/Punctuation.h"
#include "platform/whisper/SpeechEvidence.h"
#include "platform/whisper/WhisperErrors.h"

#include <chrono>
#include <mutex>

namespace sonarel::whisper {

namespace {
constexpr qsizetype kPromptCharacters = 200;

// Decodings take turns across models and tasks: each already takes the cores it is given, and
// the fast and the accurate model side by side (a task's partial beside the final of the task
// before it) would take twice that.
std::mutex& decodingTurn() {
    static std::mutex turn;
    return turn;
}
}  // namespace

Transcriber::Transcriber(std::shared_ptr<ModelLoad> load, Options options,
                         const std::atomic<bool>* cancelled, std::shared_ptr<ModelLoad> partial)
    : load_(std::move(load)),
      partial_(std::move(partial)),
      options_(std::move(options)),
      cancelled_(cancelled) {}

std::optional<RecognitionError> Transcriber::waitForModel() {
    if (!model_) {
        model_ = load_->wait(cancelled_);
    }
    if (!model_ && !cancelled_->load()) {
        return makeError(kRecognitionFailed,
                         QStringLiteral("El modelo de voz no está disponible."));
    }
    return std::nullopt;
}

Transcriber::Decoded Transcriber::decode(const float* samples, size_t count, bool closing,
                                         const std::atomic<bool>* stop, double contrast) {
    if (!voiceStandsOut(contrast)) {
        Decoded nothing;
        nothing.text = QString();
        return nothing;
    }
    // Audio heard while the model loads waits for it.
    if (std::optional<RecognitionError> error = waitForModel()) {
        return {std::nullopt, std::move(error)};
    }
    if (cancelled_->load()) {
        return {};
    }
    RecognitionModel::Decoding decoding = RecognitionModel::Decoding::of(samples, count);
    decoding.language = options_.language.c_str();
    decoding.threads = options_.threads;
    if (closing) {
        decoding.prompt = prompt();
    }
    decoding.cancelled = stop;
    RecognitionModel& model = closing ? *model_ : partialModel();
    const auto start = std::chrono::steady_clock::now();
    RecognitionModel::Decoded decoded;
    {
        std::lock_guard turn(decodingTurn());
        decoded = model.decode(decoding);
    }
    Decoded out;
    out.accurate = &model == model_.get();
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out.cpuSeconds = decoded.cpuSeconds;
    switch (decoded.outcome) {
        case RecognitionModel::Outcome::done:
            if (!wasSpoken(contrast, decoded.noSpeech)) {
                out.text = QString();
            } else {
                out.text =
                    options_.addsPunctuation ? decoded.text : withoutPunctuation(decoded.text);
            }
            break;
        case RecognitionModel::Outcome::cancelled:
            break;
        case RecognitionModel::Outcome::failed:
            out.error = makeError(kRecognitionFailed,
                                  QStringLiteral("El reconocedor no pudo procesar el audio."));
            break;
    }
    return out;
}

RecognitionModel& Transcriber::partialModel() {
    if (partial_ && partial_->state() == ModelLoad::State::ready) {
        if (const std::shared_ptr<RecognitionModel> fast = partial_->wait(nullptr)) {
            return *fast;  // the load holds it as long as this task
        }
    }
    return *model_;
}

// The vocabulary as a sentence that uses its spellings, then the text just before.
QString Transcriber::prompt() const {
    QString prompt;
    if (!options_.vocabulary.isEmpty()) {
        prompt = options_.vocabulary.join(QStringLiteral(", ")) + u'.';
    }
    if (!committed_.isEmpty()) {
        prompt += (prompt.isEmpty() ? QString() : QStringLiteral(" ")) +
                  committed_.last().right(kPromptCharacters);
    }
    return prompt;
}

void Transcriber::commit(const QString& text) {
    if (!text.isEmpty()) {
        committed_.append(text);
    }
}

QString Transcriber::text(const QString& open) const {
    QStringList parts = committed_;
    if (!open.isEmpty()) {
        parts.append(open);
    }
    return parts.join(QLatin1Char(' '));
}

RecognitionError Transcriber::noSpeech() {
    return makeError(kNoSpeech, QStringLiteral("No se detectó voz."));
}

}  // namespace sonarel::whisper
