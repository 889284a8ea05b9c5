#pragma once

#include <QString>

#include <optional>

namespace sonarel::whisper {

// Writes the Parakeet model in `from` (as published, in f16) to `to` with its big matrices in
// 4-bit blocks (q4_0), through ggml's own quantizer, as the library's quantize example does:
// every f16 matrix but the depthwise convolutions and positional biases, which the library
// keeps in f32. About a third of the size, and as fast again on the processor. Answers why it
// failed, in Spanish; `to` is then not written. Takes seconds: call it off the main thread.
std::optional<QString> quantizeParakeet(const QString& from, const QString& to);

}  // namespace sonarel::whisper
