// The start and stop sounds on the test desktop, whose microphone hears its own output as a
// laptop's hears its speaker, with the real recognizer.
#include "Montaje.h"

#include "engine/Level.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

namespace sonarel {
namespace {

using testing::waitUntil;
using testing::xdotool;

const QString kFrase = QStringLiteral("Empiezo a hablar cuando suena el tono");

// Dictating into an xterm by the shortcut, with the sounds on as they are by default: a
// dictation in which nobody spoke writes nothing, though the microphone heard both sounds; a
// voice that follows the start sound is written.
TEST(Sonidos, ADictationWithoutAVoiceWritesNothingAndOneWithAVoiceWritesIt) {
    QTemporaryDir casa;
    QTemporaryDir modelos;
    ASSERT_TRUE(QFile::link(SONAREL_TEST_MODEL, modelos.filePath("ggml-tiny-test.bin")));
    auto speech = std::make_unique<whisper::WhisperSpeechService>(
        whisper::WhisperSpeechService::Options{.modelFolders = {modelos.path()}, .threads = 2});
    auto modelosDeVoz = std::make_unique<whisper::WhisperSpeechModels>(*speech);
    testing::Montaje montaje(std::move(speech), std::move(modelosDeVoz), casa.path());
    Aplicacion& app = montaje.app;
    ASSERT_TRUE(app.preferencias().sonidos());
    app.preferencias().set(Preferences::kEnterEnTerminal, true);
    const QString linea = casa.filePath("linea.txt");
    testing::Xterm xterm("sonidos-xterm", "80x12+40+40", testing::xtermQueLeeUnaLinea(linea));
    ASSERT_TRUE(waitUntil([&] { return testing::ventanaConFoco() == xterm.ventana(); }));
    // What the meter showed in the dictation, which is also where the engine tells voice.
    double nivelMaximo = 0;
    QObject::connect(&app.motor(), &SpeechEngine::levelChanged,
                     [&] { nivelMaximo = std::max(nivelMaximo, app.motor().level()); });
    const auto dictar = [&](const std::function<void()>& mientras) {
        nivelMaximo = 0;
        xdotool({"key", "alt+super+d"});
        ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::listening(); }, 10));
        mientras();
        xdotool({"key", "alt+super+d"});
        ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::idle(); }, 20));
    };

    // Long past the start sound, and the model's first decodings with it.
    dictar([&] { EXPECT_TRUE(waitUntil([&] { return app.motor().elapsed() >= 2; })); });
    EXPECT_LT(nivelMaximo, level::kVoiceThreshold);
    EXPECT_TRUE(app.motor().text().isEmpty()) << app.motor().text().toStdString();
    EXPECT_TRUE(testing::historiaDelMes(app.historial(), montaje.clock).isEmpty());

    dictar([&] {
        EXPECT_TRUE(
            waitUntil([&] { return app.motor().elapsed() >= SpeechEngine::kStartSoundHush; }));
        auto reproductor = testing::reproducir(testing::voz(casa.path(), kFrase));
        // Random weights: the words are meaningless, but they come from the voice heard.
        EXPECT_TRUE(waitUntil([&] { return !app.motor().text().trimmed().isEmpty(); }, 20));
        EXPECT_TRUE(waitUntil([&] { return reproductor->state() == QProcess::NotRunning; }, 20));
    });
    EXPECT_GT(nivelMaximo, level::kVoiceThreshold);
    const QString texto = app.motor().text().trimmed();
    ASSERT_FALSE(texto.isEmpty());
    EXPECT_TRUE(testing::historiaDelMes(app.historial(), montaje.clock).contains(texto));
    EXPECT_TRUE(waitUntil([&] { return !testing::leer(linea).isEmpty(); }, 5));
}

}  // namespace
}  // namespace sonarel
