#include "platform/whisper/FileTask.h"

#include "platform/whisper/AudioFileDecoder.h"
#include "platform/whisper/WhisperErrors.h"

namespace sonarel::whisper {

namespace {
// Windows as long as the model takes, cut between 20 and 30 s at the quietest frame.
constexpr Segmenter::Shape kWindows{.pause = 0, .leadIn = 0.3, .longest = 30, .cutSearch = 10};
constexpr double kReadBlock = 5;
}  // namespace

FileJob::FileJob(QString path, std::shared_ptr<ModelLoad> model, std::string language,
                 bool addsPunctuation, RecognitionHandler handler)
    : path_(std::move(path)),
      load_(std::move(model)),
      language_(std::move(language)),
      addsPunctuation_(addsPunctuation),
      deliver_(std::move(handler)) {}

void FileJob::run() {
    Transcriber transcriber(load_, {language_, addsPunctuation_, 0, {}}, deliver_.cancelledFlag());
    Segmenter segmenter(kWindows);
    if (std::optional<RecognitionError> error = transcribe(transcriber, segmenter)) {
        deliver_(std::nullopt, std::move(*error));
    } else if (!segmenter.heardSpeech()) {
        deliver_(std::nullopt, Transcriber::noSpeech());
    } else {
        deliver_(RecognitionResult{transcriber.text(), true});
    }
}

std::optional<RecognitionError> FileJob::transcribe(Transcriber& transcriber,
                                                    Segmenter& segmenter) {
    if (std::optional<RecognitionError> error = transcriber.waitForModel()) {
        return error;
    }
    AudioFileDecoder::Opened opened = AudioFileDecoder::open(path_);
    if (auto* error = std::get_if<RecognitionError>(&opened)) {
        return *error;
    }
    AudioFileDecoder& decoder = *std::get<std::unique_ptr<AudioFileDecoder>>(opened);
    // Each window is decoded as it closes, and then the rest once the file is used up.
    auto decodeWindow = [&](size_t end) -> std::optional<RecognitionError> {
        const Transcriber::Decoded decoded =
            transcriber.decode(segmenter.utterance().data(), end, true, deliver_.cancelledFlag(),
                               segmenter.contrast());
        if (decoded.text) {
            transcriber.commit(*decoded.text);
        }
        segmenter.drop(end);
        return decoded.error;
    };
    std::vector<float> block;
    bool finished = false;
    while (!finished && !deliver_.isCancelled()) {
        block.clear();
        finished = !decoder.read(kReadBlock, block);
        if (decoder.tooLong()) {
            return makeError(kFileTooLong, QStringLiteral("El archivo dura más de una hora: "
                                                          "divídelo en partes más cortas."));
        }
        segmenter.append(block.data(), block.size());
        while (const std::optional<size_t> cut = segmenter.nextCut()) {
            if (std::optional<RecognitionError> error = decodeWindow(*cut)) {
                return error;
            }
        }
    }
    segmenter.flush();
    if (segmenter.inSpeech() && !deliver_.isCancelled()) {
        return decodeWindow(segmenter.utterance().size());
    }
    return std::nullopt;
}

}  // namespace sonarel::whisper
