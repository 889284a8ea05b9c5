#pragma once

#include <string>

namespace sonarel::testing {

// The Parakeet TDT models tests and benchmarks make for themselves, with random weights:
// `spanishWords`, tiny, with a vocabulary of Spanish word pieces and punctuation and a joint
// network leaning away from the blank, so that the library's own decoding writes words through
// its own joining; `v3`, with the published v3 shapes (24 layers, width 1024, 8192 pieces),
// whose cost is the real one.
enum class ParakeetShape { spanishWords, v3 };
enum class ParakeetWeights { f32, f16, q4_0 };

// Writes the model to `path`; the same arguments always give the same file. Answers false when
// writing fails.
bool writeParakeetTestModel(const std::string& path, ParakeetShape shape, ParakeetWeights weights);

}  // namespace sonarel::testing
