#include "control/Coordinador.h"

#include "platform/doubles/FakeClock.h"
#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/FakePanelWindowing.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QWindow>

namespace sonarel {
namespace {

using doubles::FakeApplication;
using testing::drainPosted;
using testing::waitUntil;

constexpr qint64 kPidPropio = 100;

// A user's home of its own, so that the history lands in a fresh folder.
struct HogarTemporal {
    HogarTemporal() { qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8()); }
    QTemporaryDir dir;
};

// Records, at each clipboard write and keystroke, what the history and the HUD showed then.
class DesktopQueAnota : public doubles::FakeDesktop {
public:
    DesktopQueAnota(const Clock& clock, const Historial& historial, const HUD& hud)
        : FakeDesktop(clock, kPidPropio), historial_(historial), hud_(hud) {}

    void setClipboardText(const QString& text) override {
        enHistorialAlCopiar = historia(historial_).contains(text);
        hudVisibleAlCopiar = hud_.panel() != nullptr && hud_.panel()->isVisible();
        FakeDesktop::setClipboardText(text);
    }

    static QString historia(const Historial& historial) {
        QFile archivo(historial.carpeta() + "/dictados-2026-03.txt");
        return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll()) : QString();
    }

    bool enHistorialAlCopiar = false;
    bool hudVisibleAlCopiar = false;

private:
    const Historial& historial_;
    const HUD& hud_;
};

class CoordinadorTest : public ::testing::Test {
protected:
    void SetUp() override {
        coordinador.configurar();
        editor->activate();  // becomes the previous application
    }

    // Presses Alt+Super+D and lets the posted action run, and a stop it makes end.
    void pulsarAtajo() {
        teclas.press(2, Modifier::Alt | Modifier::Super);
        drainPosted();
        esperarFinDeParada();
    }

    // The recognizer's final result comes from its own thread after a stop.
    void esperarFinDeParada() {
        ASSERT_TRUE(waitUntil([&] { return !motor.isStopping(); }));
    }

    void esperarEscucha() {
        ASSERT_TRUE(waitUntil([&] { return motor.status() == Status::listening(); }));
    }

    // The recognizer hears `texto`; the engine's whole text becomes `total` (by default the same).
    void oir(const QString& texto, QString total = {}) {
        if (total.isEmpty()) {
            total = texto;
        }
        speech.deliverToLatest(RecognitionResult{texto, false});
        ASSERT_TRUE(waitUntil([&] { return motor.text() == total; })) << motor.text().toStdString();
    }

    QString historia() const { return DesktopQueAnota::historia(historial); }

    bool hudVisible() const { return hud.panel() != nullptr && hud.panel()->isVisible(); }

    int tecleadas(int tecla) const {
        return static_cast<int>(
            std::count_if(desktop.posted.begin(), desktop.posted.end(),
                          [&](const auto& p) { return p.keystroke.virtualKey == tecla; }));
    }
    int pegados() const { return tecleadas(kVirtualKeyV); }
    int retornos() const { return tecleadas(kVirtualKeyReturn); }

    HogarTemporal hogar;
    doubles::FakeClock clock;
    // The consent outlives the speech service, whose thread may still be answering it.
    doubles::FakeMicrophoneConsent microfono;
    doubles::ScriptedSpeechService speech;
    doubles::PushAudioInput audio;
    SpeechEngine motor{{speech, audio, microfono, clock}};
    Preferences preferencias{hogar.dir.filePath("Sonarel.conf")};
    Historial historial{clock};
    Archivador archivador{motor, historial};
    HUDEstado estado;
    doubles::FakePanelWindowing ventanas;
    HUD hud{motor, estado, clock, ventanas};
    DesktopQueAnota desktop{clock, historial, hud};
    Paster paster{desktop, clock};
    doubles::FakeHotKeyService teclas;
    HotKey hotKey{teclas};
    Coordinador coordinador{{motor, preferencias, archivador, paster, hud, hotKey, desktop}};

    std::shared_ptr<FakeApplication> propia = desktop.launch(kPidPropio, "org.sonarel.Sonarel");
    std::shared_ptr<FakeApplication> editor =
        desktop.launch(300, "org.gnome.TextEditor", "Editor de texto");
    std::shared_ptr<FakeApplication> xterm = desktop.launch(200, "XTerm", "xterm");
};

TEST_F(CoordinadorTest, ConfigurarRegistersDefaultsAndReservesTheShortcutOnce) {
    ASSERT_EQ(teclas.registered.size(), 1u);
    EXPECT_EQ(preferencias.idioma(), "es-MX");
    EXPECT_TRUE(preferencias.copiarAlParar());

    // Configuring again replaces the wiring instead of doubling it.
    coordinador.configurar();
    EXPECT_EQ(teclas.registered.size(), 1u);
    pulsarAtajo();
    EXPECT_TRUE(motor.isListening());
}

TEST_F(CoordinadorTest, SincronizarCopiesTheEngineSettingsAndNothingElse) {
    preferencias.set(Preferences::kComandosHablados, false);
    preferencias.set(Preferences::kVocabulario, " Sonarel \n\n  Ana Belén\n");
    preferencias.set(Preferences::kReemplazos, "guasap → WhatsApp");
    preferencias.set(Preferences::kIdioma, "es-CL");
    preferencias.set(Preferences::kSinConexion, false);
    preferencias.set(Preferences::kPuntuacion, false);
    preferencias.set(Preferences::kAutoStop, 4.0);
    motor.textBinding().set("se queda");
    coordinador.sincronizarPreferencias();
    EXPECT_EQ(motor.localeID, "es-CL");
    EXPECT_FALSE(motor.preferOnDevice);
    EXPECT_FALSE(motor.addsPunctuation);
    EXPECT_EQ(motor.autoStopSilence, 4.0);
    EXPECT_FALSE(motor.spokenCommands);
    EXPECT_EQ(motor.vocabulary, (QStringList{"Sonarel", "Ana Belén"}));
    ASSERT_EQ(motor.replacements.size(), 1);
    EXPECT_EQ(motor.replacements[0].escribe, "WhatsApp");
    EXPECT_EQ(motor.text(), "se queda");

    // Starting from the shortcut takes what the store says at that moment.
    preferencias.set(Preferences::kIdioma, "es-ES");
    pulsarAtajo();
    EXPECT_EQ(motor.localeID, "es-ES");
    esperarEscucha();
    EXPECT_EQ(speech.localesAsked().back(), "es-ES");
}

TEST_F(CoordinadorTest, ShortcutOverAnotherAppArchivesOldTextShowsHUDAndPastesIntoFocus) {
    motor.textBinding().set("dictado anterior");
    preferencias.set(Preferences::kEnterEnTerminal, true);  // not a terminal: no Return
    ASSERT_EQ(desktop.frontmost, editor);

    pulsarAtajo();
    EXPECT_TRUE(motor.modoIntegrado);
    EXPECT_TRUE(historia().contains("dictado anterior"));
    EXPECT_EQ(motor.text(), "");
    EXPECT_TRUE(hudVisible());
    EXPECT_EQ(desktop.accessRequests, 0);
    esperarEscucha();
    oir("hola mundo");

    pulsarAtajo();
    EXPECT_EQ(motor.status(), Status::idle());
    EXPECT_FALSE(motor.modoIntegrado);
    EXPECT_FALSE(hudVisible());
    EXPECT_TRUE(historia().contains("\nhola mundo\n"));
    EXPECT_TRUE(desktop.enHistorialAlCopiar);
    EXPECT_FALSE(desktop.hudVisibleAlCopiar);
    EXPECT_EQ(desktop.clipboard, "hola mundo");
    ASSERT_EQ(pegados(), 1);
    EXPECT_EQ(desktop.posted[0].frontmost, "org.gnome.TextEditor");
    EXPECT_EQ(editor->activations, 1);  // the paste goes where the focus is, nothing activated
    clock.advance(1);
    EXPECT_EQ(retornos(), 0);
}

TEST_F(CoordinadorTest, TerminalInFrontGetsOneLineAndReturnOnlyWhenAsked) {
    for (const bool enter : {true, false}) {
        SCOPED_TRACE(enter);
        desktop.posted.clear();
        preferencias.set(Preferences::kEnterEnTerminal, enter);
        xterm->activate();
        pulsarAtajo();
        esperarEscucha();
        oir("ls -la\nsegunda línea ");
        pulsarAtajo();
        EXPECT_EQ(desktop.clipboard, "ls -la segunda línea");
        EXPECT_EQ(pegados(), 1);
        EXPECT_EQ(retornos(), 0);
        clock.advance(0.15);
        EXPECT_EQ(retornos(), enter ? 1 : 0);
        clock.advance(1);
        EXPECT_EQ(retornos(), enter ? 1 : 0);
    }
}

TEST_F(CoordinadorTest, WithoutAccessibilityAsksAtStartAndNoticesForFourSecondsAtStop) {
    desktop.trusted = false;
    pulsarAtajo();
    EXPECT_EQ(desktop.accessRequests, 1);
    EXPECT_TRUE(hudVisible());
    esperarEscucha();
    oir("texto sin permiso");

    pulsarAtajo();
    EXPECT_EQ(desktop.clipboard, "texto sin permiso");
    EXPECT_TRUE(desktop.posted.empty());
    EXPECT_EQ(estado.mensaje(), Coordinador::avisoSinAccesibilidad());
    EXPECT_TRUE(hudVisible());
    EXPECT_FALSE(motor.modoIntegrado);
    clock.advance(3.9);
    EXPECT_TRUE(hudVisible());
    clock.advance(0.1);
    EXPECT_EQ(estado.mensaje(), std::nullopt);
    EXPECT_FALSE(hudVisible());
}

TEST_F(CoordinadorTest, FailedPasteKeystrokeIsReportedLikeMissingAccessibility) {
    desktop.keystrokesFail = true;
    pulsarAtajo();
    esperarEscucha();
    oir("no se pudo teclear");
    pulsarAtajo();
    EXPECT_EQ(desktop.clipboard, "no se pudo teclear");
    EXPECT_EQ(estado.mensaje(), Coordinador::avisoSinAccesibilidad());
}

TEST_F(CoordinadorTest, OwnWindowInFrontKeepsTextNoHUDAndDeliversByPreferences) {
    struct Caso {
        bool pegar;
        bool copiar;
    };
    for (const Caso caso : {Caso{false, true}, Caso{true, true}, Caso{false, false}}) {
        SCOPED_TRACE(::testing::Message() << "pegar " << caso.pegar << " copiar " << caso.copiar);
        preferencias.set(Preferences::kPegarAlParar, caso.pegar);
        preferencias.set(Preferences::kCopiarAlParar, caso.copiar);
        desktop.clipboard.clear();
        desktop.posted.clear();
        motor.clear();
        editor->activate();
        propia->activate();
        motor.textBinding().set("previo");

        pulsarAtajo();
        EXPECT_FALSE(motor.modoIntegrado);
        EXPECT_FALSE(hudVisible());
        esperarEscucha();
        oir("nuevo", "previo nuevo");
        pulsarAtajo();
        EXPECT_EQ(motor.text(), "previo nuevo");
        // Only what this dictation heard is archived and delivered.
        EXPECT_TRUE(historia().contains("\nnuevo\n"));
        EXPECT_FALSE(historia().contains("previo"));
        clock.advance(0.28);
        if (caso.pegar) {
            EXPECT_EQ(desktop.clipboard, "nuevo");
            EXPECT_EQ(desktop.frontmost, editor);  // the previous application, activated
            EXPECT_EQ(pegados(), 1);
        } else if (caso.copiar) {
            EXPECT_EQ(desktop.clipboard, "nuevo");
            EXPECT_TRUE(desktop.enHistorialAlCopiar);
            EXPECT_EQ(pegados(), 0);
        } else {
            EXPECT_EQ(desktop.clipboard, "");
            EXPECT_EQ(pegados(), 0);
        }
    }

    // The previous application has quit: no paste lands in whatever has the focus, and the
    // window is told.
    int fallidos = 0;
    QObject::connect(&coordinador, &Coordinador::pegadoFallido, [&] { ++fallidos; });
    preferencias.set(Preferences::kPegarAlParar, true);
    desktop.posted.clear();
    editor->terminated = true;
    pulsarAtajo();
    esperarEscucha();
    oir("perdido", "previo nuevo perdido");
    pulsarAtajo();
    clock.advance(1);
    EXPECT_EQ(desktop.clipboard, "perdido");
    EXPECT_EQ(pegados(), 0);
    EXPECT_EQ(fallidos, 1);
}

TEST_F(CoordinadorTest, NoFrontmostApplicationCountsAsAnotherOneUnlessOurWindowHasTheFocus) {
    desktop.bringToFront(nullptr);
    pulsarAtajo();
    EXPECT_TRUE(motor.modoIntegrado);
    EXPECT_TRUE(hudVisible());
    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return !motor.isListening(); }));

    // The desktop names no application in front (GNOME) or another one, but the keyboard is in
    // one of this process's windows: its text is neither archived away nor pasted back into it.
    for (const auto& delante : {Application(), Application(editor)}) {
        desktop.bringToFront(delante);
        QWindow propiaVentana;
        propiaVentana.show();
        propiaVentana.requestActivate();
        ASSERT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == &propiaVentana; }));
        motor.clear();
        motor.textBinding().set("escrito a mano");
        desktop.posted.clear();
        pulsarAtajo();
        EXPECT_FALSE(motor.modoIntegrado);
        EXPECT_FALSE(hudVisible());
        esperarEscucha();
        oir("dictado", "escrito a mano dictado");
        pulsarAtajo();
        clock.advance(1);
        EXPECT_EQ(motor.text(), "escrito a mano dictado");
        EXPECT_EQ(desktop.clipboard, "dictado");
        EXPECT_EQ(pegados(), 0);
    }
}

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

}  // namespace
}  // namespace sonarel
