#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sonarel::whisper {

// The hyperparameters of a multilingual whisper model, as its ggml file's header gives them.
struct ModelShape {
    int vocab = 51865;
    int state = 384;
    int heads = 6;
    int audioLayers = 4;
    int textLayers = 4;
    int mels = 80;

    // The published models' shapes: "tiny", "base", "small", "medium", "large-v3-turbo".
    static std::optional<ModelShape> named(const QString& name);
    bool operator==(const ModelShape&) const = default;
};

// The bytes of a ggml whisper model of `shape` with random weights, made as they are read, so
// that even the large shapes need no disk: whisper.cpp loads and runs it at the real cost of the
// shape, and what it writes is meaningless. The same shape always gives the same bytes.
class SyntheticModel {
public:
    explicit SyntheticModel(const ModelShape& shape);

    // Copies up to `size` of the next bytes into `out`; answers how many (0 at the end).
    size_t read(void* out, size_t size);

private:
    enum class Fill { weight, small, zero, one };
    // A stretch of the file: given bytes, or a tensor's values made on demand.
    struct Piece {
        std::string bytes;
        size_t elements = 0;
        Fill fill = Fill::zero;
        bool half = false;
    };

    void addHeader(const ModelShape& shape);
    void addBlock(const std::string& prefix, int state, bool cross);
    void addAttention(const std::string& prefix, int state);
    void addTensor(const std::string& name, std::vector<int> extents, Fill fill, bool half);
    void refill();
    float nextRandom();

    std::vector<Piece> pieces_;
    size_t piece_ = 0;         // the piece `refill` makes bytes of next
    size_t madeElements_ = 0;  // of that piece's values
    bool madeBytes_ = false;   // whether that piece's given bytes are out
    std::vector<char> pending_;
    size_t taken_ = 0;
    std::uint64_t random_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace sonarel::whisper
