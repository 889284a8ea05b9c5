#include "platform/whisper/ParakeetQuantize.h"

#include "platform/whisper/ModelFile.h"

#include <QFile>
#include <QSaveFile>

#include <ggml.h>

#include <cstdint>
#include <vector>

namespace sonarel::whisper {

namespace {

constexpr int kHeaderValues = 15;
constexpr int kFtypeAt = 6;  // among the header's values
constexpr std::int32_t kQ4_0 = 2;

class Copier {
public:
    Copier(QFile& in, QSaveFile& out) : in_(in), out_(out) {}
    bool ok() const { return ok_; }

    std::int32_t int32() {
        std::int32_t v = 0;
        ok_ = ok_ && in_.read(reinterpret_cast<char*>(&v), 4) == 4;
        return v;
    }
    void put(std::int32_t v) { ok_ = ok_ && out_.write(reinterpret_cast<const char*>(&v), 4) == 4; }
    std::int32_t copyInt() {
        const std::int32_t v = int32();
        put(v);
        return v;
    }
    QByteArray read(qint64 bytes) {
        QByteArray data = in_.read(bytes);
        ok_ = ok_ && data.size() == bytes;
        return data;
    }
    void write(const void* data, qint64 bytes) {
        ok_ = ok_ && out_.write(static_cast<const char*>(data), bytes) == bytes;
    }
    void copy(qint64 bytes) {
        const QByteArray data = read(bytes);
        write(data.constData(), data.size());
    }

private:
    QFile& in_;
    QSaveFile& out_;
    bool ok_ = true;
};

bool keptInF32(const QByteArray& name) {
    return name.endsWith(".conv.depthwise_conv.weight") || name.contains(".self_attn.pos_bias_");
}

}  // namespace

std::optional<QString> quantizeParakeet(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly) || !isCompleteParakeetModel(in) || !in.seek(0)) {
        return QStringLiteral("El archivo no es un modelo Parakeet completo.");
    }
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly)) {
        return QStringLiteral("No se pudo escribir el modelo reducido: %1").arg(out.errorString());
    }
    Copier c(in, out);
    c.copyInt();  // magic
    std::int32_t header[kHeaderValues];
    for (int i = 0; i < kHeaderValues; ++i) {
        header[i] = c.int32();
    }
    if (header[kFtypeAt] != 1) {
        return QStringLiteral("El modelo no está en 16 bits: no hace falta reducirlo.");
    }
    header[kFtypeAt] = kQ4_0;
    for (std::int32_t v : header) {
        c.put(v);
    }
    const std::int32_t mels = c.copyInt();
    const std::int32_t bins = c.copyInt();
    c.copy(qint64(mels) * bins * 4);
    c.copy(qint64(c.copyInt()) * 4);  // window
    c.copy(qint64(header[13]) * 4);   // durations
    const std::int32_t tokens = c.copyInt();
    for (std::int32_t i = 0; i < tokens && c.ok(); ++i) {
        c.copy(c.copyInt());
    }

    std::vector<float> values;
    std::vector<char> blocks;
    while (c.ok() && !in.atEnd()) {
        const std::int32_t dims = c.int32();
        const std::int32_t nameLength = c.int32();
        const std::int32_t type = c.int32();
        std::int64_t extents[4] = {1, 1, 1, 1};
        for (int d = 0; d < dims; ++d) {
            extents[d] = c.int32();
        }
        const QByteArray name = c.read(nameLength);
        const std::int64_t elements = extents[0] * extents[1] * extents[2] * extents[3];
        const bool quantize = type == 1 && dims == 2 && extents[0] % 32 == 0 && !keptInF32(name);
        c.put(dims);
        c.put(nameLength);
        c.put(quantize ? kQ4_0 : type);
        for (int d = 0; d < dims; ++d) {
            c.put(std::int32_t(extents[d]));
        }
        c.write(name.constData(), name.size());
        if (!quantize) {
            c.copy(elements * (type == 1 ? 2 : 4));
            continue;
        }
        const QByteArray half = c.read(elements * 2);
        if (!c.ok()) {
            break;
        }
        values.resize(size_t(elements));
        ggml_fp16_to_fp32_row(reinterpret_cast<const ggml_fp16_t*>(half.constData()), values.data(),
                              elements);
        blocks.resize(ggml_row_size(GGML_TYPE_Q4_0, extents[0]) * size_t(extents[1]));
        const size_t written = ggml_quantize_chunk(GGML_TYPE_Q4_0, values.data(), blocks.data(), 0,
                                                   extents[1], extents[0], nullptr);
        c.write(blocks.data(), qint64(written));
    }
    if (!c.ok() || !out.commit()) {
        out.cancelWriting();
        return QStringLiteral(
            "No se pudo reducir el modelo: el archivo está incompleto o el "
            "disco, lleno.");
    }
    return std::nullopt;
}

}  // namespace sonarel::whisper
