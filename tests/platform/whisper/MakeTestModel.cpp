// sonarel_make_test_model OUT.bin [tiny|base]: writes a whisper model with the real tensor
// shapes and random weights, for tests and benchmarks.
#include "TestModel.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 ||
        (argc == 3 && std::strcmp(argv[2], "tiny") != 0 && std::strcmp(argv[2], "base") != 0)) {
        std::fprintf(stderr, "uso: %s SALIDA.bin [tiny|base]\n", argv[0]);
        return 2;
    }
    const bool base = argc == 3 && std::strcmp(argv[2], "base") == 0;
    const std::string out = argv[1];
    const std::string partial = out + ".part";
    // Written aside and renamed, so that an interrupted run never leaves a half model behind.
    if (!sonarel::testing::writeTestModel(partial, base ? sonarel::testing::ModelShape::base
                                                        : sonarel::testing::ModelShape::tiny)) {
        std::fprintf(stderr, "no se pudo escribir %s\n", partial.c_str());
        return 1;
    }
    std::error_code error;
    std::filesystem::rename(partial, out, error);
    return error ? 1 : 0;
}
