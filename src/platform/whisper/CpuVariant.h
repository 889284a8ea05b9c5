#pragma once

#include <QString>
#include <QStringList>

namespace sonarel::whisper {

// ggml's CPU code is built once per instruction-set level, each level a module beside ggml's own
// library: libggml-cpu-haswell.so (AVX2, the lowest), -alderlake (AVX-VNNI), -skylakex (AVX-512)
// and -icelake (AVX-512 with VBMI and VNNI). ggml scores each against the processor and loads
// the best one it runs.
struct CpuVariant {
    QString level;   // the loaded module's level, such as "icelake"; empty when none loaded
    QString module;  // the loaded module's file, or the folder searched when none loaded
};

// Loads the CPU code the first time, before which no model can be made, and logs which level
// runs; callable from any thread.
const CpuVariant& loadCpuVariant();

// The instructions of the lowest level that this processor lacks, such as "AVX2"; empty when it
// can run the recognizer.
QStringList missingInstructions();

}  // namespace sonarel::whisper
