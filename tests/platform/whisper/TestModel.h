#pragma once

#include <string>

namespace sonarel::testing {

enum class ModelShape { tiny, base, small };

// Writes a multilingual whisper model in the ggml format with the real tensor shapes of `shape`
// and random weights: whisper.cpp loads and runs it at the real cost, and what it writes is
// meaningless. The same shape always gives the same file. Answers false when writing fails.
bool writeTestModel(const std::string& path, ModelShape shape);

}  // namespace sonarel::testing
