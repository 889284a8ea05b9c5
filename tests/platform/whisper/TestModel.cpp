#include "TestModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace sonarel::testing {

namespace {

struct Dimensions {
    int state;
    int heads;
    int layers;
};

constexpr int kVocab = 51865;
constexpr int kTextTokens = 50257;  // the rest are special tokens the loader adds itself
constexpr int kAudioContext = 1500;
constexpr int kTextContext = 448;
constexpr int kMels = 80;
constexpr int kFftBins = 201;

class Writer {
public:
    explicit Writer(const std::string& path) : out_(path, std::ios::binary | std::ios::trunc) {}
    bool ok() const { return bool(out_); }
    void i32(std::int32_t v) { out_.write(reinterpret_cast<const char*>(&v), 4); }
    void f32(float v) { out_.write(reinterpret_cast<const char*>(&v), 4); }
    void bytes(const std::string& s) { out_.write(s.data(), std::streamsize(s.size())); }
    void raw(const void* data, size_t size) {
        out_.write(static_cast<const char*>(data), std::streamsize(size));
    }
    bool close() {
        out_.close();
        return bool(out_);
    }

private:
    std::ofstream out_;
};

class Random {
public:
    // Uniform in [-1, 1).
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return float(state_ >> 40) / float(1 << 23) - 1.0f;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

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

class ModelWriter {
public:
    explicit ModelWriter(const std::string& path) : out_(path) {}

    bool write(const Dimensions& d) {
        if (!out_.ok()) {
            return false;
        }
        out_.i32(0x67676d6c);
        for (int v : {kVocab, kAudioContext, d.state, d.heads, d.layers, kTextContext, d.state,
                      d.heads, d.layers, kMels, 1}) {
            out_.i32(v);
        }
        writeFilters();
        out_.i32(kTextTokens);
        for (int i = 0; i < kTextTokens; ++i) {
            const std::string text = tokenText(i);
            out_.i32(std::int32_t(text.size()));
            out_.bytes(text);
        }

        const int s = d.state;
        tensor("encoder.positional_embedding", {s, kAudioContext}, Fill::small, false);
        tensor("encoder.conv1.weight", {3, kMels, s}, Fill::weight, true);
        tensor("encoder.conv1.bias", {1, s}, Fill::zero, false);
        tensor("encoder.conv2.weight", {3, s, s}, Fill::weight, true);
        tensor("encoder.conv2.bias", {1, s}, Fill::zero, false);
        tensor("encoder.ln_post.weight", {s}, Fill::one, false);
        tensor("encoder.ln_post.bias", {s}, Fill::zero, false);
        for (int i = 0; i < d.layers; ++i) {
            block("encoder.blocks." + std::to_string(i) + ".", s, false);
        }
        tensor("decoder.positional_embedding", {s, kTextContext}, Fill::small, false);
        tensor("decoder.token_embedding.weight", {s, kVocab}, Fill::weight, true);
        tensor("decoder.ln.weight", {s}, Fill::one, false);
        tensor("decoder.ln.bias", {s}, Fill::zero, false);
        for (int i = 0; i < d.layers; ++i) {
            block("decoder.blocks." + std::to_string(i) + ".", s, true);
        }
        return out_.close();
    }

private:
    enum class Fill { weight, small, zero, one };

    // Triangular filters spread evenly over the spectrum, like a mel filter bank's shape.
    void writeFilters() {
        out_.i32(kMels);
        out_.i32(kFftBins);
        for (int m = 0; m < kMels; ++m) {
            const double centre = (m + 1) * double(kFftBins) / (kMels + 1);
            const double width = double(kFftBins) / (kMels + 1);
            for (int b = 0; b < kFftBins; ++b) {
                out_.f32(float(std::max(0.0, 1.0 - std::abs(b - centre) / width)));
            }
        }
    }

    void block(const std::string& prefix, int s, bool cross) {
        tensor(prefix + "mlp_ln.weight", {s}, Fill::one, false);
        tensor(prefix + "mlp_ln.bias", {s}, Fill::zero, false);
        tensor(prefix + "mlp.0.weight", {s, 4 * s}, Fill::weight, true);
        tensor(prefix + "mlp.0.bias", {4 * s}, Fill::zero, false);
        tensor(prefix + "mlp.2.weight", {4 * s, s}, Fill::weight, true);
        tensor(prefix + "mlp.2.bias", {s}, Fill::zero, false);
        attention(prefix + "attn", s);
        if (cross) {
            attention(prefix + "cross_attn", s);
        }
    }

    void attention(const std::string& prefix, int s) {
        tensor(prefix + "_ln.weight", {s}, Fill::one, false);
        tensor(prefix + "_ln.bias", {s}, Fill::zero, false);
        tensor(prefix + ".query.weight", {s, s}, Fill::weight, true);
        tensor(prefix + ".query.bias", {s}, Fill::zero, false);
        tensor(prefix + ".key.weight", {s, s}, Fill::weight, true);
        tensor(prefix + ".value.weight", {s, s}, Fill::weight, true);
        tensor(prefix + ".value.bias", {s}, Fill::zero, false);
        tensor(prefix + ".out.weight", {s, s}, Fill::weight, true);
        tensor(prefix + ".out.bias", {s}, Fill::zero, false);
    }

    // `extents` innermost first, as ggml counts them.
    void tensor(const std::string& name, std::vector<int> extents, Fill fill, bool half) {
        out_.i32(std::int32_t(extents.size()));
        out_.i32(std::int32_t(name.size()));
        out_.i32(half ? 1 : 0);
        size_t elements = 1;
        for (int e : extents) {
            out_.i32(e);
            elements *= size_t(e);
        }
        out_.bytes(name);
        const float scale = fill == Fill::weight ? 0.035f : 0.01f;
        std::vector<float> values(elements);
        for (float& v : values) {
            v = fill == Fill::zero ? 0.0f : fill == Fill::one ? 1.0f : scale * random_.next();
        }
        if (half) {
            std::vector<std::uint16_t> halves(elements);
            for (size_t i = 0; i < elements; ++i) {
                halves[i] = toHalf(values[i]);
            }
            out_.raw(halves.data(), halves.size() * 2);
        } else {
            out_.raw(values.data(), values.size() * 4);
        }
    }

    Writer out_;
    Random random_;
};

}  // namespace

bool writeTestModel(const std::string& path, ModelShape shape) {
    const Dimensions d = shape == ModelShape::tiny ? Dimensions{384, 6, 4} : Dimensions{512, 8, 6};
    return ModelWriter(path).write(d);
}

}  // namespace sonarel::testing
