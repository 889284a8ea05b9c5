#include "BenchModels.h"

#include "ParakeetTestModel.h"
#include "TestModel.h"

#include <QFileInfo>

namespace sonarel::testing {

// The generated model file of a shape, written the first time: whisper "tiny", "base" or
// "small"; "parakeet" (v3 shapes, q4_0, as the manager installs it) or "parakeet-f16".
QString modelFor(const QString& shape) {
    const bool parakeet = shape.startsWith("parakeet");
    const QString path = parakeet
                             ? QStringLiteral(SONAREL_TEST_MODELS "/parakeet-v3-%1-test.bin")
                                   .arg(shape == "parakeet-f16" ? "f16" : "q4_0")
                             : QStringLiteral(SONAREL_TEST_MODELS "/ggml-%1-test.bin").arg(shape);
    if (QFileInfo::exists(path)) {
        return path;
    }
    const bool written =
        parakeet ? writeParakeetTestModel(
                       path.toStdString(), ParakeetShape::v3,
                       shape == "parakeet-f16" ? ParakeetWeights::f16 : ParakeetWeights::q4_0)
                 : writeTestModel(path.toStdString(), shape == "base"    ? ModelShape::base
                                                      : shape == "small" ? ModelShape::small
                                                                         : ModelShape::tiny);
    return written ? path : QString();
}

whisper::LiveJob::Tuning tuningFromEnvironment() {
    whisper::LiveJob::Tuning tuning;
    for (const QString& pair : qEnvironmentVariable("SONAREL_BENCH_LIVE").split(',')) {
        const QString key = pair.section('=', 0, 0);
        const double value = pair.section('=', 1).toDouble();
        if (key == "utterance") {
            tuning.longestUtterance = value;
        } else if (key == "step") {
            tuning.partialStep = value;
        } else if (key == "threads") {
            tuning.threads = int(value);
        } else if (key == "budget") {
            tuning.cpuBudget = value;
        } else if (key == "burst") {
            tuning.cpuBurst = value;
        } else if (key == "stopped") {
            tuning.speechStopped = value;
        } else if (key == "nice") {
            tuning.niceness = int(value);
        }
    }
    return tuning;
}

}  // namespace sonarel::testing
