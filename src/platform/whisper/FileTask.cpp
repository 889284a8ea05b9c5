#include "platform/whisper/FileTask.h"

#include "platform/whisper/AudioFileDecoder.h"
#include "platform/whisper/Punctuation.h"
#include "platform/whisper/VoiceActivity.h"
#include "platform/whisper/WhisperErrors.h"

namespace sonarel::whisper {

namespace {
constexpr double kWindow = 30;
constexpr double kShortestCut = 20;
constexpr double kReadBlock = 5;
constexpr qsizetype kPromptCharacters = 200;

size_t samplesOf(double seconds) {
    return size_t(seconds * kModelRate);
}
}  // namespace

FileJob::FileJob(QString path, std::shared_ptr<ModelLoad> model, std::string language,
                 bool addsPunctuation, RecognitionHandler handler)
    : path_(std::move(path)),
      load_(std::move(model)),
      language_(std::move(language)),
      addsPunctuation_(addsPunctuation),
      deliver_(std::move(handler)) {}

void FileJob::run() {
    QStringList texts;
    bool heardSpeech = false;
    if (std::optional<RecognitionError> error = transcribe(texts, heardSpeech)) {
        deliver_(std::nullopt, std::move(*error));
    } else if (!heardSpeech) {
        deliver_(std::nullopt, makeError(kNoSpeech, QStringLiteral("No se detectó voz.")));
    } else if (!deliver_.isCancelled()) {
        deliver_(RecognitionResult{texts.join(QLatin1Char(' ')), true});
    }
}

std::optional<RecognitionError> FileJob::transcribe(QStringList& texts, bool& heardSpeech) {
    const std::shared_ptr<WhisperModel> model = load_->wait(deliver_.cancelledFlag());
    if (deliver_.isCancelled()) {
        return std::nullopt;
    }
    if (!model) {
        return makeError(kRecognitionFailed,
                         QStringLiteral("El modelo de voz no está disponible."));
    }
    AudioFileDecoder::Opened opened = AudioFileDecoder::open(path_);
    if (auto* error = std::get_if<RecognitionError>(&opened)) {
        return *error;
    }
    AudioFileDecoder& decoder = *std::get<std::unique_ptr<AudioFileDecoder>>(opened);
    std::vector<float> audio;
    bool finished = false;
    while (!deliver_.isCancelled()) {
        while (!finished && audio.size() < samplesOf(kWindow)) {
            finished = !decoder.read(kReadBlock, audio);
        }
        if (decoder.tooLong()) {
            return makeError(kFileTooLong, QStringLiteral("El archivo dura más de una hora: "
                                                          "divídelo en partes más cortas."));
        }
        if (audio.empty()) {
            return std::nullopt;
        }
        const size_t end = windowEnd(audio, finished);
        if (VoiceActivity::containsSpeech(audio.data(), end)) {
            heardSpeech = true;
            WhisperModel::Decoding decoding = WhisperModel::Decoding::of(audio.data(), end);
            decoding.language = language_.c_str();
            if (!texts.isEmpty()) {
                decoding.prompt = texts.last().right(kPromptCharacters);
            }
            decoding.cancelled = deliver_.cancelledFlag();
            const WhisperModel::Decoded decoded = model->decode(decoding);
            if (decoded.outcome == WhisperModel::Outcome::failed) {
                return makeError(kRecognitionFailed,
                                 QStringLiteral("El reconocedor no pudo procesar el audio."));
            }
            const QString text = addsPunctuation_ ? decoded.text : withoutPunctuation(decoded.text);
            if (!text.isEmpty()) {
                texts.append(text);
            }
        }
        audio.erase(audio.begin(), audio.begin() + end);
    }
    return std::nullopt;
}

// The end of the next window: all that is left when it fits, else the quietest frame between
// 20 and 30 s, so that a window rarely ends inside a word.
size_t FileJob::windowEnd(const std::vector<float>& audio, bool finished) const {
    if (audio.size() <= samplesOf(kWindow) && finished) {
        return audio.size();
    }
    const size_t frame = VoiceActivity::kFrame;
    size_t best = samplesOf(kWindow);
    double bestEnergy = 1e9;
    for (size_t at = samplesOf(kShortestCut); at + frame <= samplesOf(kWindow); at += frame) {
        const double e = VoiceActivity::energy(audio.data() + at, frame);
        if (e < bestEnergy) {
            bestEnergy = e;
            best = at + frame / 2;
        }
    }
    return best;
}

}  // namespace sonarel::whisper
