#include "platform/whisper/CpuVariant.h"

#include "platform/Logging.h"
#include "platform/whisper/WhisperModel.h"

#include <dlfcn.h>
#include <ggml-backend.h>

#include <QFileInfo>

namespace sonarel::whisper {

namespace {

// The file of the shared object that holds `address`.
QString fileHolding(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname) {
        return {};
    }
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}

CpuVariant load() {
    // ggml's own messages about the modules it tries go to the recognizer's log too.
    routeLibraryLog();
    // Found through ggml's base library (its CPU buffer type lives there), the modules' folder
    // is the same in a build folder and in the installed package.
    const QString folder = QFileInfo(fileHolding(ggml_backend_cpu_buffer_type())).absolutePath();
    ggml_backend_load_all_from_path(folder.toLocal8Bit().constData());
    ggml_backend_dev_t device = ggml_backend_dev_by_type(GGML_BACKEND_DEVICE_TYPE_CPU);
    if (!device) {
        qCWarning(logRecognizer, "no CPU code for this processor in %s", qPrintable(folder));
        return {QString(), folder};
    }
    // The registration lives inside the module ggml chose, whose name says its level.
    const QString module = fileHolding(ggml_backend_dev_backend_reg(device));
    QString level = QFileInfo(module).completeBaseName();
    level.remove(QStringLiteral("libggml-cpu-"));
    qCInfo(logRecognizer, "CPU code for %s: %s", qPrintable(level), qPrintable(module));
    return {level, module};
}

}  // namespace

const CpuVariant& loadCpuVariant() {
    static const CpuVariant variant = load();
    return variant;
}

QStringList missingInstructions() {
    QStringList missing;
    // What ggml's lowest level, haswell, is compiled for.
    if (!__builtin_cpu_supports("sse4.2")) {
        missing << QStringLiteral("SSE4.2");
    }
    if (!__builtin_cpu_supports("avx")) {
        missing << QStringLiteral("AVX");
    }
    if (!__builtin_cpu_supports("avx2")) {
        missing << QStringLiteral("AVX2");
    }
    if (!__builtin_cpu_supports("fma")) {
        missing << QStringLiteral("FMA");
    }
    if (!__builtin_cpu_supports("f16c")) {
        missing << QStringLiteral("F16C");
    }
    if (!__builtin_cpu_supports("bmi2")) {
        missing << QStringLiteral("BMI2");
    }
    return missing;
}

}  // namespace sonarel::whisper
