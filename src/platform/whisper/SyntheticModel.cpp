#include "platform/whisper/SyntheticModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonarel::whisper {

namespace {

constexpr int kTextTokens = 50257;  // the rest are special tokens the loader adds itself
constexpr int kAudioContext = 1500;
constexpr int kTextContext = 448;
constexpr int kFftBins = 201;
constexpr size_t kChunkElements = 1 << 15;

void put(std::string& out, std::int32_t value) {
    out.append(reinterpret_cast<const char*>(&value), 4);
}

void put(std::string& out, float value) {
    out.append(reinterpret_cast<const char*>(&value), 4);
}

std::uint16_t toHalf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const std::uint32_t sign = (bits >> 16) & 0x8000;
    const int exponent = int((bits >> 23) & 0xff) - 127 + 15;
    const std::uint32_t mantissa = bits & 0x7fffff;
    if (exponent <= 0) {
        return std::uint16_t(sign);  // small values become zero
    }
    if (exponent >= 31) {
        return std::uint16_t(sign | 0x7bff);
    }
    return std::uint16_t(sign | (std::uint32_t(exponent) << 10) | (mantissa >> 13));
}

// Printable characters (the blank among them, which whisper.cpp looks up by text) and then
// speech-like pieces of words, some with a punctuation mark, so that the random text is made of
// letters, blanks and marks.
std::string tokenText(int index) {
    if (index < 95) {
        return std::string(1, char(' ' + index));
    }
    static const char* const syllables[] = {
        "a",  "e",  "i",  "o",  "u",  "la",  "le",  "lo",  "ma",  "me",  "mi", "mo", "na", "ne",
        "no", "pa", "pe", "po", "ra", "re",  "ro",  "sa",  "se",  "si",  "ta", "te", "to", "da",
        "de", "do", "ca", "co", "cu", "ba",  "bi",  "va",  "ve",  "ga",  "go", "fa", "fi", "ción",
        "es", "en", "el", "al", "un", "por", "con", "más", "qué", "tan", "ñe", "ja", "jo", "za"};
    constexpr int count = int(sizeof(syllables) / sizeof(syllables[0]));
    std::string text = index % 3 == 0 ? " " : "";
    int n = index - 94;
    while (n > 0) {
        text += syllables[n % count];
        n /= count;
    }
    if (index % 11 == 0) {
        text += index % 2 ? "," : ".";
    }
    return text;
}

}  // namespace

std::optional<ModelShape> ModelShape::named(const QString& name) {
    if (name == QLatin1String("tiny")) {
        return ModelShape{51865, 384, 6, 4, 4, 80};
    }
    if (name == QLatin1String("base")) {
        return ModelShape{51865, 512, 8, 6, 6, 80};
    }
    if (name == QLatin1String("small")) {
        return ModelShape{51865, 768, 12, 12, 12, 80};
    }
    if (name == QLatin1String("medium")) {
        return ModelShape{51865, 1024, 16, 24, 24, 80};
    }
    if (name == QLatin1String("large-v3-turbo")) {
        return ModelShape{51866, 1280, 20, 32, 4, 128};
    }
    return std::nullopt;
}

SyntheticModel::SyntheticModel(const ModelShape& shape) {
    addHeader(shape);
    const int s = shape.state;
    addTensor("encoder.positional_embedding", {s, kAudioContext}, Fill::small, false);
    addTensor("encoder.conv1.weight", {3, shape.mels, s}, Fill::weight, true);
    addTensor("encoder.conv1.bias", {1, s}, Fill::zero, false);
    addTensor("encoder.conv2.weight", {3, s, s}, Fill::weight, true);
    addTensor("encoder.conv2.bias", {1, s}, Fill::zero, false);
    addTensor("encoder.ln_post.weight", {s}, Fill::one, false);
    addTensor("encoder.ln_post.bias", {s}, Fill::zero, false);
    for (int i = 0; i < shape.audioLayers; ++i) {
        addBlock("encoder.blocks." + std::to_string(i) + ".", s, false);
    }
    addTensor("decoder.positional_embedding", {s, kTextContext}, Fill::small, false);
    addTensor("decoder.token_embedding.weight", {s, shape.vocab}, Fill::weight, true);
    addTensor("decoder.ln.weight", {s}, Fill::one, false);
    addTensor("decoder.ln.bias", {s}, Fill::zero, false);
    for (int i = 0; i < shape.textLayers; ++i) {
        addBlock("decoder.blocks." + std::to_string(i) + ".", s, true);
    }
}

void SyntheticModel::addHeader(const ModelShape& shape) {
    Piece header;
    std::string& out = header.bytes;
    put(out, std::int32_t(0x67676d6c));
    for (int v : {shape.vocab, kAudioContext, shape.state, shape.heads, shape.audioLayers,
                  kTextContext, shape.state, shape.heads, shape.textLayers, shape.mels, 1}) {
        put(out, std::int32_t(v));
    }
    // Triangular filters spread evenly over the spectrum, like a mel filter bank's shape.
    put(out, std::int32_t(shape.mels));
    put(out, std::int32_t(kFftBins));
    for (int m = 0; m < shape.mels; ++m) {
        const double centre = (m + 1) * double(kFftBins) / (shape.mels + 1);
        const double width = double(kFftBins) / (shape.mels + 1);
        for (int b = 0; b < kFftBins; ++b) {
            put(out, float(std::max(0.0, 1.0 - std::abs(b - centre) / width)));
        }
    }
    put(out, std::int32_t(kTextTokens));
    for (int i = 0; i < kTextTokens; ++i) {
        const std::string text = tokenText(i);
        put(out, std::int32_t(text.size()));
        out += text;
    }
    pieces_.push_back(std::move(header));
}

void SyntheticModel::addBlock(const std::string& prefix, int s, bool cross) {
    addTensor(prefix + "mlp_ln.weight", {s}, Fill::one, false);
    addTensor(prefix + "mlp_ln.bias", {s}, Fill::zero, false);
    addTensor(prefix + "mlp.0.weight", {s, 4 * s}, Fill::weight, true);
    addTensor(prefix + "mlp.0.bias", {4 * s}, Fill::zero, false);
    addTensor(prefix + "mlp.2.weight", {4 * s, s}, Fill::weight, true);
    addTensor(prefix + "mlp.2.bias", {s}, Fill::zero, false);
    addAttention(prefix + "attn", s);
    if (cross) {
        addAttention(prefix + "cross_attn", s);
    }
}

void SyntheticModel::addAttention(const std::string& prefix, int s) {
    addTensor(prefix + "_ln.weight", {s}, Fill::one, false);
    addTensor(prefix + "_ln.bias", {s}, Fill::zero, false);
    addTensor(prefix + ".query.weight", {s, s}, Fill::weight, true);
    addTensor(prefix + ".query.bias", {s}, Fill::zero, false);
    addTensor(prefix + ".key.weight", {s, s}, Fill::weight, true);
    addTensor(prefix + ".value.weight", {s, s}, Fill::weight, true);
    addTensor(prefix + ".value.bias", {s}, Fill::zero, false);
    addTensor(prefix + ".out.weight", {s, s}, Fill::weight, true);
    addTensor(prefix + ".out.bias", {s}, Fill::zero, false);
}

// `extents` innermost first, as ggml counts them.
void SyntheticModel::addTensor(const std::string& name, std::vector<int> extents, Fill fill,
                               bool half) {
    Piece tensor;
    put(tensor.bytes, std::int32_t(extents.size()));
    put(tensor.bytes, std::int32_t(name.size()));
    put(tensor.bytes, std::int32_t(half ? 1 : 0));
    tensor.elements = 1;
    for (int e : extents) {
        put(tensor.bytes, std::int32_t(e));
        tensor.elements *= size_t(e);
    }
    tensor.bytes += name;
    tensor.fill = fill;
    tensor.half = half;
    pieces_.push_back(std::move(tensor));
}

size_t SyntheticModel::read(void* out, size_t size) {
    auto* to = static_cast<char*>(out);
    size_t copied = 0;
    while (copied < size) {
        if (taken_ == pending_.size()) {
            refill();
            if (pending_.empty()) {
                break;
            }
        }
        const size_t n = std::min(size - copied, pending_.size() - taken_);
        std::memcpy(to + copied, pending_.data() + taken_, n);
        taken_ += n;
        copied += n;
    }
    return copied;
}

// Makes the next bytes of the file: a piece's given bytes, or a chunk of its values.
void SyntheticModel::refill() {
    pending_.clear();
    taken_ = 0;
    while (pending_.empty() && piece_ < pieces_.size()) {
        const Piece& piece = pieces_[piece_];
        if (!madeBytes_) {
            pending_.assign(piece.bytes.begin(), piece.bytes.end());
            madeBytes_ = true;
        } else if (madeElements_ < piece.elements) {
            const size_t n = std::min(kChunkElements, piece.elements - madeElements_);
            const float scale = piece.fill == Fill::weight ? 0.035f : 0.01f;
            pending_.resize(n * (piece.half ? 2 : 4));
            for (size_t i = 0; i < n; ++i) {
                const float v = piece.fill == Fill::zero  ? 0.0f
                                : piece.fill == Fill::one ? 1.0f
                                                          : scale * nextRandom();
                if (piece.half) {
                    const std::uint16_t h = toHalf(v);
                    std::memcpy(pending_.data() + 2 * i, &h, 2);
                } else {
                    std::memcpy(pending_.data() + 4 * i, &v, 4);
                }
            }
            madeElements_ += n;
        } else {
            ++piece_;
            madeElements_ = 0;
            madeBytes_ = false;
        }
    }
}

// Uniform in [-1, 1).
float SyntheticModel::nextRandom() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 7;
    random_ ^= random_ << 17;
    return float(random_ >> 40) / float(1 << 23) - 1.0f;
}

}  // namespace sonarel::whisper
