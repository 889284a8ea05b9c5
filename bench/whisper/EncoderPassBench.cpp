// encoder_bench [THREADS] [SHAPE...]: one encoder pass over live decoding's longest window (and a
// full 30 s window) of random-weight models of the published shapes, as the model manager
// measures it, with the time to make and load each model. Default: live decoding's threads;
// tiny, base and small. "parakeet" and "parakeet-f16": Parakeet v3 shapes, written once.
#include "BenchModels.h"
#include "platform/whisper/EncoderPass.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/SleepingWaits.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>

using namespace sonarel::whisper;

int main(int argc, char** argv) {
    sonarel::whisper::restartWithSleepingWaits(argv);
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int threads = LiveJob::Tuning{}.threads;
    if (!arguments.isEmpty() && arguments.first().toInt() > 0) {
        threads = arguments.takeFirst().toInt();
    }
    if (arguments.isEmpty()) {
        arguments = {"tiny", "base", "small"};
    }
    const double window = LiveJob::Tuning{}.longestUtterance;
    std::printf("encoder pass, %d thread(s), random weights of each shape\n", threads);
    for (const QString& name : arguments) {
        const std::optional<ModelShape> shape = ModelShape::named(name);
        if (name.startsWith("parakeet")) {
            const QString path = sonarel::testing::modelFor(name);
            for (double seconds : {window, 12.6, 30.0}) {
                const std::optional<double> pass = timeEncoderPass(path, seconds, threads);
                std::printf("  %-15s %4.1f s of audio: %s\n", qPrintable(name), seconds,
                            pass ? qPrintable(QStringLiteral("%1 s a pass, %2 of real time")
                                                  .arg(*pass, 0, 'f', 3)
                                                  .arg(*pass / seconds, 0, 'f', 3))
                                 : "did not run");
            }
            continue;
        }
        if (!shape) {
            std::fprintf(stderr, "unknown shape %s\n", qPrintable(name));
            return 2;
        }
        for (double seconds : {window, 30.0}) {
            const auto start = std::chrono::steady_clock::now();
            const std::optional<double> pass = timeEncoderPass(*shape, seconds, threads);
            const double total =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!pass) {
                std::printf("  %-15s %4.0f s window: did not run\n", qPrintable(name), seconds);
                continue;
            }
            std::printf(
                "  %-15s %4.0f s window (audio_ctx %4d): %.3f s a pass, %.2f of real time;"
                " %.1f s with making and loading the model\n",
                qPrintable(name), seconds, audioContextFor(seconds), *pass, *pass / seconds, total);
        }
    }
    return 0;
}
