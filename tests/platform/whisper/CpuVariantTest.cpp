#include "platform/whisper/CpuVariant.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace sonarel::testing {
namespace {

// The level ggml's scoring should pick among the modules built: the one with the most of this
// processor's instructions, as the compiler's own processor check sees them.
QString bestLevelForThisProcessor() {
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
                        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                        __builtin_cpu_supports("avx512bw");
    if (avx512 && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni")) {
        return QStringLiteral("icelake");
    }
    if (avx512) {
        return QStringLiteral("skylakex");
    }
    if (__builtin_cpu_supports("avxvnni")) {
        return QStringLiteral("alderlake");
    }
    return QStringLiteral("haswell");
}

TEST(CpuVariant, TheBestLevelTheProcessorRunsIsLoadedFromBesideGgmlsLibrary) {
    const whisper::CpuVariant& variant = whisper::loadCpuVariant();
    EXPECT_EQ(variant.level, bestLevelForThisProcessor());
    const QFileInfo module(variant.module);
    EXPECT_EQ(module.fileName(), QStringLiteral("libggml-cpu-%1.so").arg(variant.level));
    EXPECT_EQ(module.absolutePath(),
              QFileInfo(QStringLiteral(SONAREL_WHISPER_LIB)).canonicalFilePath());
    // A processor that runs a module lacks none of the lowest level's instructions.
    EXPECT_TRUE(whisper::missingInstructions().isEmpty());
}

}  // namespace
}  // namespace sonarel::testing
