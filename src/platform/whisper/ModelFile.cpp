#include "platform/whisper/ModelFile.h"

#include <QFile>
#include <QSet>

#include <array>
#include <cstdint>
#include <optional>

namespace sonarel::whisper {

namespace {

constexpr std::uint32_t kMagic = 0x67676d6c;
// ggml tensor types and the bytes of one block of each, for the types whisper models use.
struct TensorType {
    int id;
    int blockSize;
    int blockBytes;
};
constexpr std::array<TensorType, 8> kTensorTypes{{
    {0, 1, 4},    // f32
    {1, 1, 2},    // f16
    {2, 32, 18},  // q4_0
    {3, 32, 20},  // q4_1
    {6, 32, 22},  // q5_0
    {7, 32, 24},  // q5_1
    {8, 32, 34},  // q8_0
    {30, 1, 2},   // bf16
}};

class Reader {
public:
    explicit Reader(QIODevice& device) : device_(device) {}
    std::optional<std::int32_t> int32() {
        std::int32_t value = 0;
        if (device_.read(reinterpret_cast<char*>(&value), 4) != 4) {
            return std::nullopt;
        }
        return value;
    }
    bool skip(qint64 bytes) {
        if (bytes < 0 || device_.pos() + bytes > device_.size()) {
            return false;
        }
        return device_.seek(device_.pos() + bytes);
    }
    QByteArray bytes(qint64 count) {
        if (count < 0 || device_.pos() + count > device_.size()) {
            return {};
        }
        return device_.read(count);
    }
    bool atEnd() const { return device_.pos() == device_.size(); }

private:
    QIODevice& device_;
};

bool oneOf(std::int32_t value, std::initializer_list<std::int32_t> allowed) {
    for (std::int32_t a : allowed) {
        if (value == a) {
            return true;
        }
    }
    return false;
}

// Walks the tensors from here to the end of the file: how many there are, or nothing when one
// is malformed, repeated, or runs past the end.
std::optional<int> tensorsToEnd(Reader& in, int maxDims) {
    QSet<QByteArray> seen;
    while (!in.atEnd()) {
        auto dims = in.int32();
        auto nameLength = in.int32();
        auto type = in.int32();
        if (!dims || !nameLength || !type || *dims < 1 || *dims > maxDims || *nameLength <= 0 ||
            *nameLength > 256) {
            return std::nullopt;
        }
        qint64 elements = 1;
        for (int d = 0; d < *dims; ++d) {
            auto extent = in.int32();
            if (!extent || *extent <= 0 || *extent > 1 << 20) {
                return std::nullopt;
            }
            elements *= *extent;
        }
        const QByteArray name = in.bytes(*nameLength);
        if (name.size() != *nameLength || seen.contains(name)) {
            return std::nullopt;
        }
        seen.insert(name);
        const TensorType* tensorType = nullptr;
        for (const TensorType& t : kTensorTypes) {
            if (t.id == *type) {
                tensorType = &t;
            }
        }
        if (!tensorType || elements % tensorType->blockSize != 0 ||
            !in.skip(elements / tensorType->blockSize * tensorType->blockBytes)) {
            return std::nullopt;
        }
    }
    return int(seen.size());
}

}  // namespace

bool isCompleteModel(QIODevice& device) {
    if (!device.isOpen() || device.isSequential()) {
        return false;
    }
    Reader in(device);
    if (auto magic = in.int32(); !magic || std::uint32_t(*magic) != kMagic) {
        return false;
    }
    std::array<std::int32_t, 11> h{};
    for (std::int32_t& v : h) {
        auto value = in.int32();
        if (!value) {
            return false;
        }
        v = *value;
    }
    const auto [vocab, audioCtx, state, audioHeads, audioLayers, textCtx, textState, textHeads,
                textLayers, mels, ftype] = h;
    const bool known =
        oneOf(vocab, {51864, 51865, 51866}) && audioCtx == 1500 && textCtx == 448 &&
        state == textState && audioHeads == textHeads &&
        oneOf(state, {384, 512, 768, 1024, 1280}) && oneOf(audioHeads, {6, 8, 12, 16, 20}) &&
        oneOf(audioLayers, {4, 6, 12, 24, 32}) && oneOf(textLayers, {2, 4, 6, 12, 24, 32}) &&
        oneOf(mels, {80, 128}) && ftype >= 0 && ftype % 1000 <= 20;
    if (!known) {
        return false;
    }

    auto filterMels = in.int32();
    auto filterBins = in.int32();
    if (!filterMels || !filterBins || *filterMels != mels || *filterBins <= 0 ||
        *filterBins > 4096 || !in.skip(qint64(*filterMels) * *filterBins * 4)) {
        return false;
    }

    auto tokens = in.int32();
    if (!tokens || *tokens <= 0 || *tokens > vocab) {
        return false;
    }
    for (std::int32_t i = 0; i < *tokens; ++i) {
        auto length = in.int32();
        if (!length || *length < 0 || *length > 1024 || !in.skip(*length)) {
            return false;
        }
    }

    const std::optional<int> tensors = tensorsToEnd(in, 3);
    return tensors == 11 + 15 * audioLayers + 24 * textLayers;
}

bool isCompleteParakeetModel(QIODevice& device) {
    if (!device.isOpen() || device.isSequential()) {
        return false;
    }
    Reader in(device);
    if (auto magic = in.int32(); !magic || std::uint32_t(*magic) != kMagic) {
        return false;
    }
    std::array<std::int32_t, 15> h{};
    for (std::int32_t& v : h) {
        auto value = in.int32();
        if (!value) {
            return false;
        }
        v = *value;
    }
    const auto [vocab, audioCtx, state, heads, layers, mels, ftype, fft, subsampling, channels,
                kernel, predDim, predLayers, durations, maxTokens] = h;
    // Bounds wide enough for the library's tiny test model and the published sizes; a whisper
    // header read this way fails them (its sixth value, the text context 448, is no mel count).
    const bool plausible =
        vocab > 3 && vocab <= 65536 && audioCtx > 0 && audioCtx <= 1 << 16 && state > 0 &&
        state <= 4096 && heads > 0 && state % heads == 0 && layers > 0 && layers <= 64 &&
        mels > 0 && mels <= 256 && ftype >= 0 && ftype % 1000 <= 20 && fft > 0 && fft <= 4096 &&
        subsampling > 0 && subsampling <= 16 && channels > 0 && channels <= 1024 && kernel > 0 &&
        kernel <= 64 && predDim > 0 && predDim <= 4096 && predLayers > 0 && predLayers <= 8 &&
        durations > 0 && durations <= 16 && maxTokens > 0 && maxTokens <= 64;
    if (!plausible) {
        return false;
    }
    auto filterMels = in.int32();
    auto filterBins = in.int32();
    if (!filterMels || !filterBins || *filterMels != mels || *filterBins != fft / 2 + 1 ||
        !in.skip(qint64(*filterMels) * *filterBins * 4)) {
        return false;
    }
    auto window = in.int32();
    if (!window || *window != fft || !in.skip(qint64(*window) * 4) || !in.skip(durations * 4)) {
        return false;
    }
    auto tokens = in.int32();
    if (!tokens || *tokens != vocab) {
        return false;
    }
    for (std::int32_t i = 0; i < *tokens; ++i) {
        auto length = in.int32();
        if (!length || *length < 0 || *length > 1024 || !in.skip(*length)) {
            return false;
        }
    }
    // The library checks every tensor's name and shape against the header; here, that they are
    // there, once each, with all their data.
    const std::optional<int> tensors = tensorsToEnd(in, 4);
    return tensors && *tensors >= 12 + 29 * layers + 7;
}

bool isCompleteModel(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return isCompleteModel(file);
}

ModelKind modelKind(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ModelKind::none;
    }
    if (isCompleteModel(file)) {
        return ModelKind::whisper;
    }
    return file.seek(0) && isCompleteParakeetModel(file) ? ModelKind::parakeet : ModelKind::none;
}

}  // namespace sonarel::whisper
