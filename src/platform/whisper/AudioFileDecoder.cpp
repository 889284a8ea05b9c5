#include "platform/whisper/AudioFileDecoder.h"

#include "platform/whisper/WhisperErrors.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <cmath>

namespace sonarel::whisper {

namespace {
constexpr int kMostChannels = 64;
}  // namespace

AudioFileDecoder::Opened AudioFileDecoder::open(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    if (!info.exists()) {
        return makeError(kFileMissing, QStringLiteral("No existe el archivo %1.").arg(name));
    }
    if (!info.isFile()) {
        return makeError(kFileNotRegular, QStringLiteral("%1 no es un archivo.").arg(name));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return makeError(kFileUnreadable,
                         QStringLiteral("No se puede leer el archivo %1.").arg(name));
    }
    if (file.size() == 0) {
        return makeError(kFileEmpty, QStringLiteral("El archivo %1 está vacío.").arg(name));
    }
    file.close();
    SF_INFO format{};
    SNDFILE* handle = sf_open(QFile::encodeName(path).constData(), SFM_READ, &format);
    if (!handle) {
        return makeError(
            kFileUndecodable,
            QStringLiteral("El archivo %1 no contiene audio en un formato conocido.").arg(name));
    }
    return fromHandle(handle, name);
}

AudioFileDecoder::Opened AudioFileDecoder::fromHandle(SNDFILE* file, const QString& name) {
    SF_INFO format{};
    sf_command(file, SFC_GET_CURRENT_SF_INFO, &format, sizeof(format));
    std::unique_ptr<Resampler> resampler = Resampler::create(format.samplerate);
    if (format.channels <= 0 || format.channels > kMostChannels || !resampler) {
        sf_close(file);
        return makeError(kFileBadFormat,
                         QStringLiteral("El audio de %1 no es válido (%2 canales a %3 Hz).")
                             .arg(name)
                             .arg(format.channels)
                             .arg(format.samplerate));
    }
    if (format.frames > 0 && double(format.frames) / format.samplerate > kLongestSeconds) {
        sf_close(file);
        return makeError(kFileTooLong,
                         QStringLiteral("El archivo %1 dura más de una hora: divídelo en partes "
                                        "más cortas.")
                             .arg(name));
    }
    return std::unique_ptr<AudioFileDecoder>(
        new AudioFileDecoder(file, format.channels, std::move(resampler)));
}

AudioFileDecoder::AudioFileDecoder(SNDFILE* file, int channels,
                                   std::unique_ptr<Resampler> resampler)
    : file_(file), channels_(channels), resampler_(std::move(resampler)) {}

AudioFileDecoder::~AudioFileDecoder() {
    sf_close(file_);
}

bool AudioFileDecoder::read(double seconds, std::vector<float>& out) {
    if (finished_) {
        return false;
    }
    const double rate = resampler_->inputRate();
    sf_count_t wanted = std::max<sf_count_t>(1, sf_count_t(std::ceil(seconds * rate)));
    // A file whose length was not known in advance stops at the same limit.
    const double left = kLongestSeconds - secondsRead_;
    wanted = std::min<sf_count_t>(wanted, sf_count_t(std::max(0.0, left) * rate) + 1);
    block_.resize(size_t(wanted) * channels_);
    const sf_count_t got = sf_readf_float(file_, block_.data(), wanted);
    if (got > 0) {
        resampler_->processInterleaved(block_.data(), channels_, long(got), out);
        secondsRead_ += double(got) / rate;
    }
    if (secondsRead_ >= kLongestSeconds) {
        float probe[kMostChannels];
        tooLong_ = sf_readf_float(file_, probe, 1) > 0;
    }
    if (got < wanted || secondsRead_ >= kLongestSeconds) {
        resampler_->flush(out);
        finished_ = true;
    }
    return !finished_;
}

}  // namespace sonarel::whisper
