// sonarel-quantize F16.bin Q4_0.bin: writes a Parakeet model's 4-bit form, as the model manager
// does after a download (for scripts/get-model).
#include "platform/whisper/ParakeetQuantize.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "uso: %s MODELO-f16.bin MODELO-q4_0.bin\n", argv[0]);
        return 2;
    }
    if (const std::optional<QString> failure =
            sonarel::whisper::quantizeParakeet(arguments[1], arguments[2])) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return 1;
    }
    return 0;
}
