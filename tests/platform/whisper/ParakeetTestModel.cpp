#include "ParakeetTestModel.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace sonarel::testing {

namespace {

struct Header {
    std::int32_t vocab, audioCtx, state, heads, layers, mels, ftype, fft, subsampling, channels,
        kernel, predDim, predLayers, durations, maxTokens;
};

// Writes the file in the library's ggml layout, tensor by tensor.
class Writer {
public:
    Writer(const std::string& path, ParakeetWeights weights)
        : out_(path, std::ios::binary | std::ios::trunc), weights_(weights) {}

    void int32(std::int32_t v) { out_.write(reinterpret_cast<const char*>(&v), 4); }
    void floats(const std::vector<float>& values) {
        out_.write(reinterpret_cast<const char*>(values.data()),
                   std::streamsize(values.size() * 4));
    }
    void text(const std::string& s) {
        int32(std::int32_t(s.size()));
        out_.write(s.data(), std::streamsize(s.size()));
    }
    float random(float scale) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return (float(state_ >> 40) / float(1 << 24) * 2 - 1) * scale;
    }

    // `extents` innermost first, as ggml counts them. A big matrix is stored in the model's
    // weight type (the library's own choice of which ones are); every other tensor in f32, with
    // `fill` giving each value from its index.
    template <typename Fill>
    void tensor(const std::string& name, std::vector<std::int32_t> extents, bool big, Fill fill) {
        std::int64_t elements = 1;
        for (std::int32_t e : extents) {
            elements *= e;
        }
        const int type = big ? int(weights_) : 0;
        int32(std::int32_t(extents.size()));
        int32(std::int32_t(name.size()));
        // ggml's type ids: f32 0, f16 1, q4_0 2, as the weight kinds are numbered.
        int32(type);
        for (std::int32_t e : extents) {
            int32(e);
        }
        out_.write(name.data(), std::streamsize(name.size()));
        if (type == 2) {
            // Blocks of 32: an f16 scale, then 16 bytes of 4-bit values.
            const float scale = 1.0f / std::sqrt(float(extents[0]));
            for (std::int64_t b = 0; b < elements / 32; ++b) {
                const _Float16 d = _Float16(scale / 8);
                out_.write(reinterpret_cast<const char*>(&d), 2);
                for (int i = 0; i < 16; ++i) {
                    const char q = char(std::uint8_t(random(128) + 128));
                    out_.write(&q, 1);
                }
            }
            return;
        }
        std::vector<char> row;
        for (std::int64_t i = 0; i < elements; ++i) {
            const float v = fill(i);
            if (type == 1) {
                const _Float16 h = _Float16(v);
                out_.write(reinterpret_cast<const char*>(&h), 2);
            } else {
                out_.write(reinterpret_cast<const char*>(&v), 4);
            }
        }
    }
    // A weight matrix of `rows` rows of `columns`, scaled to keep activations in range.
    void matrix(const std::string& name, std::int32_t columns, std::int32_t rows, bool big) {
        const float scale = 1.0f / std::sqrt(float(columns));
        tensor(name, {columns, rows}, big, [&](std::int64_t) { return random(scale); });
    }
    void constant(const std::string& name, std::vector<std::int32_t> extents, float value) {
        tensor(name, std::move(extents), false, [&](std::int64_t) { return value; });
    }
    void small(const std::string& name, std::vector<std::int32_t> extents) {
        tensor(name, std::move(extents), false, [&](std::int64_t) { return random(0.02f); });
    }

    bool finish() {
        out_.close();
        return bool(out_);
    }

private:
    std::ofstream out_;
    const ParakeetWeights weights_;
    std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

std::vector<std::string> vocabulary(ParakeetShape shape, int size) {
    std::vector<std::string> pieces = {"<unk>", "<s>", "</s>"};
    const char* const space = "\u2581";
    if (shape == ParakeetShape::spanishWords) {
        // In this order the random weights write "hola," again and again: a word piece that
        // carries a mark, as the text path must keep or take off.
        for (const char* p : {"\u2581mundo", "\u2581sí", "\u2581que", "\u2581dictado", ".", "!",
                              "\u2581hola,", ",", "\u2581año", "¿", "?", "¡", "s"}) {
            pieces.push_back(p);
        }
        return pieces;
    }
    for (const char* p : {",", ".", "?", "¿", "!", "¡"}) {
        pieces.push_back(p);
    }
    const char* const syllables[] = {"a",  "e",  "i",  "o",  "u",  "la", "de", "que", "en", "el",
                                     "es", "lo", "se", "ma", "pa", "ta", "ca", "no",  "ra", "ción"};
    for (int i = 0; int(pieces.size()) < size; ++i) {
        const std::string body = std::string(syllables[i % 20]) + syllables[(i / 20) % 20] +
                                 (i >= 400 ? std::to_string(i / 400) : "");
        pieces.push_back(i % 3 == 0 ? body : std::string(space) + body);
    }
    return pieces;
}

}  // namespace

bool writeParakeetTestModel(const std::string& path, ParakeetShape shape, ParakeetWeights weights) {
    const bool v3 = shape == ParakeetShape::v3;
    Header h{};
    if (v3) {
        h = {8192, 5000, 1024, 8, 24, 128, 0, 512, 8, 256, 9, 640, 2, 5, 10};
    } else {
        h = {16, 3200, 32, 2, 1, 16, 0, 64, 8, 16, 3, 32, 1, 2, 5};
    }
    h.ftype = std::int32_t(weights);
    Writer w(path, weights);
    w.int32(0x67676d6c);
    for (std::int32_t v :
         {h.vocab, h.audioCtx, h.state, h.heads, h.layers, h.mels, h.ftype, h.fft, h.subsampling,
          h.channels, h.kernel, h.predDim, h.predLayers, h.durations, h.maxTokens}) {
        w.int32(v);
    }
    const int bins = h.fft / 2 + 1;
    w.int32(h.mels);
    w.int32(bins);
    std::vector<float> filters(size_t(h.mels) * bins);
    for (float& f : filters) {
        f = std::abs(w.random(0.05f));
    }
    w.floats(filters);
    w.int32(h.fft);
    std::vector<float> window(h.fft);
    for (int i = 0; i < h.fft; ++i) {
        window[i] = 0.5f - 0.5f * std::cos(2 * float(M_PI) * float(i) / float(h.fft));
    }
    w.floats(window);
    for (std::int32_t d = 0; d < h.durations; ++d) {
        w.int32(d);
    }
    const std::vector<std::string> pieces = vocabulary(shape, h.vocab);
    w.int32(h.vocab);
    for (int i = 0; i < h.vocab; ++i) {
        w.text(pieces[size_t(i)]);
    }

    const int s = h.state;
    const int ch = h.channels;
    const int preFeatures = (h.mels / h.subsampling) * ch;
    w.matrix("encoder.pre_encode.out.weight", preFeatures, s, true);
    w.small("encoder.pre_encode.out.bias", {s});
    for (const char* conv : {"0", "2", "3", "5", "6"}) {
        const std::string p = std::string("encoder.pre_encode.conv.") + conv;
        const bool pointwise = conv[0] == '3' || conv[0] == '6';
        const std::vector<std::int32_t> shapeW = pointwise ? std::vector<std::int32_t>{1, 1, ch, ch}
                                                           : std::vector<std::int32_t>{3, 3, 1, ch};
        const float scale = pointwise ? 1.0f / std::sqrt(float(ch)) : 0.3f;
        w.tensor(p + ".weight", shapeW, false, [&](std::int64_t) { return w.random(scale); });
        w.small(p + ".bias", {1, 1, ch, 1});
    }
    for (int l = 0; l < h.layers; ++l) {
        const std::string p = "encoder.layers." + std::to_string(l);
        auto norm = [&](const std::string& n) {
            w.constant(p + "." + n + ".weight", {s}, 1);
            w.constant(p + "." + n + ".bias", {s}, 0);
        };
        norm("norm_feed_forward1");
        w.matrix(p + ".feed_forward1.linear1.weight", s, 4 * s, true);
        w.matrix(p + ".feed_forward1.linear2.weight", 4 * s, s, true);
        norm("norm_conv");
        w.matrix(p + ".conv.pointwise_conv1.weight", s, 2 * s, true);
        w.tensor(p + ".conv.depthwise_conv.weight", {h.kernel, s}, false,
                 [&](std::int64_t) { return w.random(0.3f); });
        w.constant(p + ".conv.batch_norm.weight", {s}, 1);
        w.constant(p + ".conv.batch_norm.bias", {s}, 0);
        w.constant(p + ".conv.batch_norm.running_mean", {s}, 0);
        w.constant(p + ".conv.batch_norm.running_var", {s}, 1);
        w.constant(p + ".conv.batch_norm.num_batches_tracked", {1}, 0);
        w.matrix(p + ".conv.pointwise_conv2.weight", s, s, true);
        norm("norm_self_att");
        w.small(p + ".self_attn.pos_bias_u", {s / h.heads, h.heads});
        w.small(p + ".self_attn.pos_bias_v", {s / h.heads, h.heads});
        for (const char* m : {"q", "k", "v", "out", "pos"}) {
            w.matrix(p + ".self_attn.linear_" + m + ".weight", s, s, true);
        }
        norm("norm_feed_forward2");
        w.matrix(p + ".feed_forward2.linear1.weight", s, 4 * s, true);
        w.matrix(p + ".feed_forward2.linear2.weight", 4 * s, s, true);
        norm("norm_out");
    }

    const int pred = h.predDim;
    w.matrix("decoder.prediction.embed.weight", pred, h.vocab + 1, true);
    for (int l = 0; l < h.predLayers; ++l) {
        const std::string lstm = "decoder.prediction.dec_rnn.lstm";
        w.matrix(lstm + ".weight_ih_l" + std::to_string(l), pred, 4 * pred, true);
        w.matrix(lstm + ".weight_hh_l" + std::to_string(l), pred, 4 * pred, true);
        w.small(lstm + ".bias_h_l" + std::to_string(l), {4 * pred});
    }
    // The sound, more than the piece before, picks the next piece.
    w.tensor("joint.pred.weight", {pred, pred}, true,
             [&](std::int64_t) { return w.random(0.1f / std::sqrt(float(pred))); });
    w.small("joint.pred.bias", {pred});
    w.tensor("joint.enc.weight", {s, pred}, true,
             [&](std::int64_t) { return w.random(4.0f / std::sqrt(float(s))); });
    w.small("joint.enc.bias", {pred});
    const int out = h.vocab + 1 + h.durations;
    // Strong enough that the pieces written follow the sound rather than one piece winning.
    const float jointScale = 8.0f / std::sqrt(float(pred));
    w.tensor("joint.joint_net.2.weight", {pred, out}, true,
             [&](std::int64_t) { return w.random(jointScale); });
    // Away from the blank, and to a duration of one frame (the tiny model: a piece a frame) or of
    // three (v3: about four pieces a second, a speaker's pace).
    const int preferred = v3 ? 3 : 1;
    w.tensor("joint.joint_net.2.bias", {out}, false, [&](std::int64_t i) {
        if (i == h.vocab) {
            return -20.0f;
        }
        return i == h.vocab + 1 + preferred ? 20.0f : 0.0f;
    });
    return w.finish();
}

}  // namespace sonarel::testing
