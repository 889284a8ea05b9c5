// libFuzzer target for the decoding path: whatever bytes arrive as an audio file or as a model
// file must give audio or a clear refusal, never a crash, a hang or an unbounded allocation.
#include "platform/whisper/AudioFileDecoder.h"
#include "platform/whisper/ModelFile.h"

#include <QBuffer>

#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <variant>

namespace {

struct Memory {
    const std::uint8_t* data;
    sf_count_t size;
    sf_count_t at = 0;
};

sf_count_t length(void* user) {
    return static_cast<Memory*>(user)->size;
}
sf_count_t seek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<Memory*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->size;
    m->at = std::clamp<sf_count_t>(base + offset, 0, m->size);
    return m->at;
}
sf_count_t read(void* out, sf_count_t count, void* user) {
    auto* m = static_cast<Memory*>(user);
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, m->size - m->at);
    std::memcpy(out, m->data + m->at, size_t(n));
    m->at += n;
    return n;
}
sf_count_t write(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t tell(void* user) {
    return static_cast<Memory*>(user)->at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Memory memory{data, sf_count_t(size)};
    SF_VIRTUAL_IO io{length, seek, read, write, tell};
    SF_INFO info{};
    if (SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory)) {
        auto opened = sonarel::whisper::AudioFileDecoder::fromHandle(file, QStringLiteral("fuzz"));
        if (auto* decoder =
                std::get_if<std::unique_ptr<sonarel::whisper::AudioFileDecoder>>(&opened)) {
            std::vector<float> audio;
            // Enough to go through every block of a small input, bounded for compressed ones.
            while ((*decoder)->read(5, audio) && audio.size() < 16000 * 120) {
            }
        }
    }
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    sonarel::whisper::isCompleteModel(buffer);
    buffer.seek(0);
    sonarel::whisper::isCompleteParakeetModel(buffer);
    return 0;
}
