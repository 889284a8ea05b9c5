// How the integrated mode and the archive follow each session, whatever ends it.
#include "CoordinadorFixture.h"

namespace sonarel {
namespace {

using namespace coordinador_de_prueba;
using testing::drainPosted;
using testing::waitUntil;

TEST_F(CoordinadorTest, IntegratedFlagBelongsToTheDictationNotToHowItStops) {
    pulsarAtajo();
    esperarEscucha();
    oir("parado desde la ventana");
    motor.stop();  // the main window's button, or auto-stop
    esperarFinDeParada();
    EXPECT_EQ(desktop.clipboard, "parado desde la ventana");
    EXPECT_EQ(pegados(), 1);
    EXPECT_FALSE(motor.modoIntegrado);
    EXPECT_FALSE(hudVisible());

    // Stopped in this application's own window, which has the focus now: copied, not pasted
    // into its own editor a second time.
    pulsarAtajo();
    esperarEscucha();
    oir("otra vez");
    propia->activate();
    motor.stop();
    esperarFinDeParada();
    clock.advance(1);
    EXPECT_EQ(desktop.clipboard, "otra vez");
    EXPECT_EQ(pegados(), 1);
}

TEST_F(CoordinadorTest, IntegratedModeEndsWithItsSessionEvenWithoutText) {
    pulsarAtajo();
    esperarEscucha();
    motor.stop();  // nothing said, stopped from the main window
    esperarFinDeParada();
    EXPECT_FALSE(motor.modoIntegrado);
    EXPECT_FALSE(hudVisible());
    EXPECT_TRUE(historia().isEmpty());

    // The next dictation from the main window follows the preferences: copied, not pasted.
    motor.toggle();
    esperarEscucha();
    oir("desde la ventana");
    motor.toggle();
    esperarFinDeParada();
    EXPECT_EQ(desktop.clipboard, "desde la ventana");
    clock.advance(1);
    EXPECT_EQ(pegados(), 0);
}

TEST_F(CoordinadorTest, AFailedStartSaysWhyInTheHUDAndTheNextPressTriesAgain) {
    speech.localesWithoutRecognizer << "es-MX";
    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return motor.status().isFailed(); }));
    EXPECT_FALSE(motor.modoIntegrado);
    EXPECT_EQ(estado.mensaje(), motor.status().message());
    EXPECT_TRUE(hudVisible());
    clock.advance(3.9);
    EXPECT_TRUE(hudVisible());
    clock.advance(0.1);
    EXPECT_FALSE(hudVisible());

    // Within the notice's seconds: the new dictation's listening bar replaces it, and stays.
    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return motor.status().isFailed(); }));
    clock.advance(1);
    speech.localesWithoutRecognizer.clear();
    pulsarAtajo();
    esperarEscucha();
    EXPECT_TRUE(motor.modoIntegrado);
    EXPECT_EQ(estado.mensaje(), std::nullopt);
    clock.advance(4);
    EXPECT_TRUE(hudVisible());
}

// What a stop archived is not archived again when the text is cleared, by a new shortcut
// dictation or by "Borrar"; text changed by hand since is.
TEST_F(CoordinadorTest, EachDictatedTextIsArchivedOnceAndHandWrittenTextIsKept) {
    pulsarAtajo();
    esperarEscucha();
    oir("primero");
    pulsarAtajo();
    pulsarAtajo();
    esperarEscucha();
    EXPECT_EQ(motor.text(), "");
    oir("segundo");
    pulsarAtajo();
    EXPECT_EQ(historia().count("primero"), 1);

    motor.textBinding().set("segundo, corregido");
    archivador.guardarYBorrar();
    EXPECT_TRUE(historia().contains("\nsegundo, corregido\n"));

    // A main-window dictation appended to an archived one.
    pulsarAtajo();
    esperarEscucha();
    oir("tercero");
    pulsarAtajo();
    motor.toggle();
    esperarEscucha();
    oir("cuarto", "tercero cuarto");
    motor.toggle();
    esperarFinDeParada();
    archivador.guardarYBorrar();
    EXPECT_EQ(historia().count("tercero"), 1);
    EXPECT_EQ(historia().count("cuarto"), 1);

    // Typed text that a dictation is appended to still reaches the history.
    motor.textBinding().set("mis notas");
    motor.toggle();
    esperarEscucha();
    oir("quinto", "mis notas quinto");
    motor.toggle();
    esperarFinDeParada();
    archivador.guardarYBorrar();
    EXPECT_TRUE(historia().contains("mis notas"));
    EXPECT_EQ(motor.text(), "");
}

TEST_F(CoordinadorTest, SecondPressWhilePreparingStopsAndHides) {
    speech.holdAuthorization = true;
    pulsarAtajo();
    EXPECT_EQ(motor.status(), Status::preparing());
    EXPECT_TRUE(hudVisible());
    pulsarAtajo();
    EXPECT_EQ(motor.status(), Status::idle());
    EXPECT_FALSE(hudVisible());
    speech.answerAuthorizations();
    drainPosted();
    EXPECT_EQ(motor.status(), Status::idle());
}

TEST_F(CoordinadorTest, WiringDoesNothingOnceTheCoordinatorIsGone) {
    auto otro = std::make_unique<Coordinador>(
        Coordinador::Servicios{motor, preferencias, archivador, paster, hud, hotKey, desktop});
    otro->configurar();
    otro.reset();
    pulsarAtajo();
    EXPECT_EQ(motor.status(), Status::idle());
    motor.onStopped("texto huérfano");
    EXPECT_TRUE(historia().isEmpty());
    EXPECT_TRUE(desktop.clipboard.isEmpty());
}

// A press while a failed session still decodes its last words waits for them: they are
// delivered whole, and the new session keeps its own integrated mode.
TEST_F(CoordinadorTest, APressDuringAFailedSessionsDrainWaitsForItAndStartsCleanly) {
    speech.finishWhenAudioEnds = false;
    pulsarAtajo();
    esperarEscucha();
    oir("hola mundo");
    audio.interrupt("el micrófono se fue");
    ASSERT_TRUE(waitUntil([&] { return motor.isStopping(); }));

    teclas.press(2, Modifier::Alt | Modifier::Super);
    drainPosted();
    EXPECT_TRUE(motor.isStopping());
    speech.deliver(0, RecognitionResult{QStringLiteral("hola mundo entero"), true});
    esperarEscucha();
    EXPECT_TRUE(historia().contains("\nhola mundo entero\n"));
    EXPECT_EQ(historia().count("hola mundo"), 1);
    EXPECT_EQ(pegados(), 1);
    EXPECT_TRUE(motor.modoIntegrado);

    oir("segunda");
    speech.finishWhenAudioEnds = true;
    pulsarAtajo();
    EXPECT_EQ(pegados(), 2);
    EXPECT_EQ(desktop.clipboard, "segunda");
}

// A stop before the model is ready: the panel says the words are still being transcribed, and
// they are pasted once the model has decoded them.
TEST_F(CoordinadorTest, AStopWhileTheModelLoadsSaysItIsTranscribingThenPastes) {
    speech.holdReady = true;
    speech.finishWhenAudioEnds = false;
    pulsarAtajo();
    esperarEscucha();
    teclas.press(2, Modifier::Alt | Modifier::Super);
    drainPosted();
    EXPECT_TRUE(motor.isStopping());
    EXPECT_TRUE(hudVisible());
    EXPECT_EQ(estado.mensaje(), Coordinador::avisoTranscribiendo());

    speech.becomeReady(true);
    speech.deliver(0, RecognitionResult{QStringLiteral("por fin"), true});
    esperarFinDeParada();
    EXPECT_EQ(pegados(), 1);
    EXPECT_EQ(desktop.clipboard, "por fin");
    EXPECT_EQ(estado.mensaje(), std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return !hudVisible(); }));
}

}  // namespace
}  // namespace sonarel
