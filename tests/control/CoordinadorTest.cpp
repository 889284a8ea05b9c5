#include "CoordinadorFixture.h"

namespace sonarel {
namespace {

using namespace coordinador_de_prueba;
using testing::drainPosted;
using testing::waitUntil;

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
        desktop.ownWindowFocused = true;
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

}  // namespace
}  // namespace sonarel
