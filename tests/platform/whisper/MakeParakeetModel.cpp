// sonarel_make_parakeet_model OUT.bin [words|v3] [f32|f16|q4_0]: writes a Parakeet TDT model
// with random weights, for tests and benchmarks.
#include "ParakeetTestModel.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using sonarel::testing::ParakeetShape;
    using sonarel::testing::ParakeetWeights;
    const std::string shape = argc > 2 ? argv[2] : "words";
    const std::string weights = argc > 3 ? argv[3] : "f32";
    if (argc < 2 || argc > 4 || (shape != "words" && shape != "v3") ||
        (weights != "f32" && weights != "f16" && weights != "q4_0")) {
        std::fprintf(stderr, "uso: %s SALIDA.bin [words|v3] [f32|f16|q4_0]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const std::string partial = out + ".part";
    const ParakeetWeights kind = weights == "f32"   ? ParakeetWeights::f32
                                 : weights == "f16" ? ParakeetWeights::f16
                                                    : ParakeetWeights::q4_0;
    // Written aside and renamed, so that an interrupted run never leaves a half model behind.
    if (!sonarel::testing::writeParakeetTestModel(
            partial, shape == "v3" ? ParakeetShape::v3 : ParakeetShape::spanishWords, kind)) {
        std::fprintf(stderr, "no se pudo escribir %s\n", partial.c_str());
        return 1;
    }
    std::error_code error;
    std::filesystem::rename(partial, out, error);
    return error ? 1 : 0;
}
