#include "Montaje.h"

#include "delivery/Terminales.h"
#include "engine/Level.h"
#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::leer;
using testing::ventanaConFoco;
using testing::waitUntil;
using testing::xdotool;

const QString kFrase = QStringLiteral("Hola, esto llega a la terminal desde el atajo");

// One user session: a home of its own (the history in its data folder), the application, and an
// xterm in front whose shell reads one line into a file.
struct Sesion {
    Sesion(std::unique_ptr<SpeechService> speech, std::unique_ptr<SpeechModels> modelos)
        : montaje(std::move(speech), std::move(modelos), dir.path()),
          app(montaje.app),
          xterm("e2e-xterm", "80x12+40+40", testing::xtermQueLeeUnaLinea(linea())) {
        QObject::connect(&app.motor(), &SpeechEngine::levelChanged,
                         [this] { nivelMaximo = std::max(nivelMaximo, app.motor().level()); });
    }

    QString linea() const { return dir.filePath("linea.txt"); }
    bool hudEnPantalla() const {
        return app.hud().panel() != nullptr && app.hud().panel()->isVisible() &&
               ejecutar("xwininfo", {"-id", QString::number(app.hud().panel()->winId())})
                   .contains("IsViewable");
    }
    // Presses the shortcut and waits until the dictation has ended and reached the history.
    void terminar() {
        xdotool({"key", "alt+super+d"});
        ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::idle(); }));
        EXPECT_TRUE(waitUntil([&] { return !hudEnPantalla(); }));
        historia = testing::historiaDelMes(app.historial(), montaje.clock);
    }

    QTemporaryDir dir;
    testing::Montaje montaje;
    Aplicacion& app;
    testing::Xterm xterm;
    double nivelMaximo = 0;
    QString historia;
};

// Up to the live text: the hot key over the xterm, the HUD, and the voice in the microphone.
void empezarADictar(Sesion& s) {
    ASSERT_TRUE(s.app.hotKey().isRegistered());
    ASSERT_TRUE(waitUntil([&] { return ventanaConFoco() == s.xterm.ventana(); }));

    xdotool({"key", "alt+super+d"});
    ASSERT_TRUE(waitUntil([&] { return s.app.motor().status() == Status::listening(); }, 10))
        << s.app.motor().status().message().toStdString();
    EXPECT_TRUE(s.app.motor().modoIntegrado);
    ASSERT_TRUE(waitUntil([&] { return s.hudEnPantalla(); }));
    EXPECT_EQ(ventanaConFoco(), s.xterm.ventana());
    EXPECT_EQ(s.app.hud().panel()->lineaVisible(), "Escuchando…");
}

class DictadoPorAtajo : public ::testing::TestWithParam<bool> {};

TEST_P(DictadoPorAtajo, TextReachesHistoryAndTheXtermLine) {
    const bool enter = GetParam();
    auto recognizer = std::make_unique<doubles::ScriptedSpeechService>();
    doubles::ScriptedSpeechService& speech = *recognizer;
    Sesion s(std::move(recognizer), std::make_unique<doubles::FakeSpeechModels>());
    s.app.preferencias().set(Preferences::kEnterEnTerminal, enter);
    empezarADictar(s);
    if (HasFatalFailure()) {
        return;
    }

    auto reproductor = testing::reproducir(testing::voz(s.dir.path(), kFrase));
    EXPECT_TRUE(waitUntil([&] { return s.nivelMaximo > level::kVoiceThreshold; }, 10));
    EXPECT_TRUE(waitUntil([&] { return speech.requestOf(0)->framesAppended > 16000; }, 10));
    speech.deliverToLatest(RecognitionResult{"Hola", false});
    EXPECT_TRUE(waitUntil([&] { return s.app.hud().panel()->lineaVisible() == "Hola"; }));
    speech.deliverToLatest(RecognitionResult{kFrase, false});
    EXPECT_TRUE(waitUntil([&] { return s.app.hud().panel()->lineaVisible() == kFrase; }));
    EXPECT_TRUE(waitUntil([&] { return reproductor->state() == QProcess::NotRunning; }, 20));

    s.terminar();
    EXPECT_TRUE(s.historia.contains("\n" + kFrase + "\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kFrase);
    EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection), kFrase);

    if (!enter) {
        // The text waits on the command line for the user's own Return.
        waitUntil([] { return false; }, 1);
        EXPECT_FALSE(QFile::exists(s.linea()));
        EXPECT_EQ(ventanaConFoco(), s.xterm.ventana());
        xdotool({"key", "Return"});
    }
    EXPECT_TRUE(waitUntil([&] { return leer(s.linea()) == kFrase; }, 5))
        << leer(s.linea()).toStdString();
}

INSTANTIATE_TEST_SUITE_P(EnterEnTerminal, DictadoPorAtajo, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ConEnter" : "SinEnter"; });

// Hold to talk: the dictation runs while Alt+Super+D is held down, and its text lands once the
// keys go up.
TEST(DictadoMantenido, HoldingTheShortcutDictatesUntilItIsReleased) {
    auto recognizer = std::make_unique<doubles::ScriptedSpeechService>();
    doubles::ScriptedSpeechService& speech = *recognizer;
    Sesion s(std::move(recognizer), std::make_unique<doubles::FakeSpeechModels>());
    s.app.preferencias().set(Preferences::kAtajoMantenido, true);
    s.app.preferencias().set(Preferences::kEnterEnTerminal, true);
    ASSERT_TRUE(waitUntil([&] { return ventanaConFoco() == s.xterm.ventana(); }));

    xdotool({"keydown", "alt+super+d"});
    ASSERT_TRUE(waitUntil([&] { return s.app.motor().status() == Status::listening(); }, 10));
    auto reproductor = testing::reproducir(testing::voz(s.dir.path(), kFrase));
    EXPECT_TRUE(waitUntil([&] { return speech.requestOf(0)->framesAppended > 16000; }, 10));
    speech.deliverToLatest(RecognitionResult{kFrase, false});
    EXPECT_TRUE(waitUntil([&] { return reproductor->state() == QProcess::NotRunning; }, 20));
    EXPECT_EQ(s.app.motor().status(), Status::listening()) << "stopped while the keys were down";

    xdotool({"keyup", "d"});
    xdotool({"keyup", "alt+super"});
    ASSERT_TRUE(waitUntil([&] { return s.app.motor().status() == Status::idle(); }));
    EXPECT_TRUE(waitUntil([&] { return leer(s.linea()) == kFrase; }, 5))
        << leer(s.linea()).toStdString();
    EXPECT_TRUE(testing::historiaDelMes(s.app.historial(), s.montaje.clock).contains(kFrase));
}

TEST(DictadoPorAtajoConWhisper, TheRealRecognizerRunsTheWholeChain) {
    QTemporaryDir modelos;
    ASSERT_TRUE(QFile::link(SONAREL_TEST_MODEL, modelos.filePath("ggml-tiny-test.bin")));
    auto speech = std::make_unique<whisper::WhisperSpeechService>(
        whisper::WhisperSpeechService::Options{.modelFolders = {modelos.path()}, .threads = 2});
    auto modelosDeVoz = std::make_unique<whisper::WhisperSpeechModels>(*speech);
    Sesion s(std::move(speech), std::move(modelosDeVoz));
    s.app.preferencias().set(Preferences::kEnterEnTerminal, true);
    empezarADictar(s);
    if (HasFatalFailure()) {
        return;
    }

    auto reproductor = testing::reproducir(testing::voz(s.dir.path(), kFrase));
    // Random weights: the words are meaningless, but they come from the audio heard.
    EXPECT_TRUE(waitUntil([&] { return !s.app.motor().text().trimmed().isEmpty(); }, 20));
    EXPECT_FALSE(s.app.hud().panel()->muestraMarcador());
    EXPECT_TRUE(waitUntil([&] { return reproductor->state() == QProcess::NotRunning; }, 20));

    s.terminar();
    const QString texto = s.app.motor().text();
    ASSERT_FALSE(texto.trimmed().isEmpty());
    EXPECT_TRUE(s.historia.contains(texto.trimmed()));
    // The shell makes the file before it writes the line into it.
    EXPECT_TRUE(waitUntil([&] { return leer(s.linea()) == lineaDeTerminal(texto); }, 5))
        << leer(s.linea()).toStdString();
}

}  // namespace
}  // namespace sonarel
