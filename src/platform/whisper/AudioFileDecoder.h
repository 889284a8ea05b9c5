#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/Resampler.h"

#include <QString>

#include <memory>
#include <variant>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace sonarel::whisper {

// Reads an audio file (wav, flac, ogg/vorbis, opus, mp3) block by block as 16 kHz mono.
class AudioFileDecoder {
public:
    static constexpr double kLongestSeconds = 3600;

    using Opened = std::variant<std::unique_ptr<AudioFileDecoder>, RecognitionError>;
    static Opened open(const QString& path);
    // Takes an open libsndfile handle (closed with the decoder, or at once on failure).
    static Opened fromHandle(SNDFILE* file, const QString& name);

    ~AudioFileDecoder();
    AudioFileDecoder(const AudioFileDecoder&) = delete;
    AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

    // Appends about `seconds` of audio to `out`; answers false once the file is used up.
    bool read(double seconds, std::vector<float>& out);
    // Whether the file went on past the longest length this decoder reads.
    bool tooLong() const { return tooLong_; }

private:
    AudioFileDecoder(SNDFILE* file, int channels, std::unique_ptr<Resampler> resampler);

    SNDFILE* file_;
    int channels_;
    std::unique_ptr<Resampler> resampler_;
    std::vector<float> block_;
    double secondsRead_ = 0;
    bool finished_ = false;
    bool tooLong_ = false;
};

}  // namespace sonarel::whisper
