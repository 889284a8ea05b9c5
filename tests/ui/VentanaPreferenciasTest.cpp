// The preferences window on the offscreen platform, over the preferences of a temporary home and
// the coordinator that hands them to the engine.
#include "ui/VentanaPreferencias.h"

#include "ui/DialogoPalabras.h"
#include "ui/EntornoVentana.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace sonarel {
namespace {

void pulsar(DialogoPalabras& dialogo, QDialogButtonBox::StandardButton boton) {
    dialogo.findChild<QDialogButtonBox*>()->button(boton)->click();
}

struct VentanaPreferenciasTest : ::testing::Test {
    VentanaPreferencias::Servicios servicios() {
        return {entorno.preferencias,
                [this] { entorno.coordinador.sincronizarPreferencias(); },
                [this] { return inicio; },
                [this](bool activo) -> std::optional<QString> {
                    if (fallo) {
                        return fallo;
                    }
                    inicio = activo;
                    return std::nullopt;
                },
                [this] { return atajo; },
                [this](const Combinacion& nueva) -> std::optional<QString> {
                    if (nueva.tecla == 38) {  // J: held by another program
                        return QStringLiteral("ocupada");
                    }
                    atajo = nueva;
                    return std::nullopt;
                },
                [this] { return fuentes; }};
    }

    testing::EntornoVentana entorno;
    bool inicio = false;
    std::optional<QString> fallo;
    Combinacion atajo;
    std::vector<AudioSource> fuentes;
    VentanaPreferencias ventana{servicios()};
};

TEST_F(VentanaPreferenciasTest, SpokenCommandsAreOnByDefaultAndTurningThemOffReachesTheEngine) {
    ventana.mostrar();
    EXPECT_EQ(ventana.windowTitle(), "Preferencias");
    EXPECT_TRUE(ventana.comandosHablados().isChecked());
    ventana.comandosHablados().click();
    EXPECT_FALSE(entorno.preferencias.comandosHablados());
    EXPECT_FALSE(entorno.motor.spokenCommands);
    ventana.comandosHablados().click();
    EXPECT_TRUE(entorno.motor.spokenCommands);
}

TEST_F(VentanaPreferenciasTest, TheSoundsAreOnByDefaultAndTurningThemOffReachesTheEngine) {
    ventana.mostrar();
    EXPECT_EQ(ventana.sonidos().text(), "Sonido al empezar y al parar");
    EXPECT_TRUE(ventana.sonidos().isChecked());
    ventana.sonidos().click();
    EXPECT_FALSE(entorno.preferencias.sonidos());
    EXPECT_FALSE(entorno.motor.playsSounds);
    ventana.close();
    ventana.mostrar();
    EXPECT_FALSE(ventana.sonidos().isChecked());
    ventana.sonidos().click();
    EXPECT_TRUE(entorno.motor.playsSounds);
}

TEST_F(VentanaPreferenciasTest, TheUsersWordsAreEditedSavedAndHandedToTheEngine) {
    ventana.mostrar();
    EXPECT_EQ(ventana.resumenPalabras().text(),
              "Nombres y términos que dictas, y cómo se escriben.");
    ventana.editarPalabras();
    auto* dialogo = ventana.findChild<DialogoPalabras*>();
    ASSERT_NE(dialogo, nullptr);
    dialogo->vocabulario().setPlainText("Sonarel\n\nAna Belén\n");
    dialogo->reemplazos().setPlainText("guasap → WhatsApp\nsin flecha");
    pulsar(*dialogo, QDialogButtonBox::Cancel);
    EXPECT_TRUE(entorno.preferencias.vocabulario().isEmpty());

    ventana.editarPalabras();
    QTest::qWait(0);  // the first dialog is deleted once closed
    dialogo = ventana.findChild<DialogoPalabras*>();
    ASSERT_NE(dialogo, nullptr);
    dialogo->vocabulario().setPlainText("Sonarel\n\nAna Belén\n");
    dialogo->reemplazos().setPlainText("guasap → WhatsApp\nsin flecha");
    pulsar(*dialogo, QDialogButtonBox::Save);
    EXPECT_EQ(entorno.preferencias.vocabulario(), (QStringList{"Sonarel", "Ana Belén"}));
    EXPECT_EQ(entorno.motor.vocabulary, (QStringList{"Sonarel", "Ana Belén"}));
    ASSERT_EQ(entorno.motor.replacements.size(), 1);
    EXPECT_EQ(entorno.motor.replacements[0].escribe, "WhatsApp");
    EXPECT_EQ(ventana.resumenPalabras().text(), "2 términos, 1 reemplazo.");

    // Opened again, it shows what was saved.
    ventana.editarPalabras();
    QTest::qWait(0);
    dialogo = ventana.findChild<DialogoPalabras*>();
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(dialogo->vocabulario().toPlainText(), "Sonarel\nAna Belén");
    EXPECT_EQ(dialogo->reemplazos().toPlainText(), "guasap → WhatsApp\nsin flecha");
}

TEST_F(VentanaPreferenciasTest, TheShortcutIsPressedByDefaultAndCanBeHeld) {
    ventana.mostrar();
    EXPECT_EQ(ventana.usoDelAtajo().currentText(), "Pulsar para empezar y parar");
    ventana.usoDelAtajo().setCurrentIndex(1);
    emit ventana.usoDelAtajo().activated(1);
    EXPECT_TRUE(entorno.preferencias.atajoMantenido());
    ventana.close();
    ventana.mostrar();
    EXPECT_EQ(ventana.usoDelAtajo().currentText(), "Mantener pulsado");
}

TEST_F(VentanaPreferenciasTest, TheMicrophoneIsChosenAmongTheSourcesAndAMissingChoiceStaysShown) {
    fuentes = {{"alsa_input.pci", "Micrófono interno"}, {"bluez_source.cascos", "Cascos"}};
    ventana.mostrar();
    ASSERT_EQ(ventana.microfono().count(), 3);
    EXPECT_EQ(ventana.microfono().currentText(), "El predeterminado del escritorio");
    ventana.microfono().setCurrentIndex(2);
    emit ventana.microfono().activated(2);
    EXPECT_EQ(entorno.preferencias.microfono(), "bluez_source.cascos");
    EXPECT_EQ(entorno.motor.microphone, "bluez_source.cascos");

    // The headset is switched off: the choice is kept, and said to be away.
    fuentes.pop_back();
    ventana.close();
    ventana.mostrar();
    EXPECT_EQ(ventana.microfono().currentText(), "bluez_source.cascos (no conectado)");
    EXPECT_EQ(entorno.preferencias.microfono(), "bluez_source.cascos");
    ventana.microfono().setCurrentIndex(0);
    emit ventana.microfono().activated(0);
    EXPECT_EQ(entorno.motor.microphone, "");
}

// The dialog keeps what cannot be had open with its reason, and what can be had names the
// shortcut in the window at once.
TEST_F(VentanaPreferenciasTest, AnotherShortcutIsRecordedTriedAndShown) {
    ventana.mostrar();
    EXPECT_EQ(ventana.combinacion().text(), "Alt+Super+D:");
    ventana.cambiarAtajo();
    auto* dialogo = ventana.findChild<DialogoAtajo*>();
    ASSERT_NE(dialogo, nullptr);
    QTest::keyClick(&dialogo->combinacion(), Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(dialogo->combinacion().text(), "Alt+Super+D") << "a modifier alone is no key";
    QTest::keyClick(&dialogo->combinacion(), Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(dialogo->combinacion().text(), "Ctrl+Alt+J");
    dialogo->botonUsar().click();
    EXPECT_EQ(dialogo->mensaje().text(), "ocupada");
    EXPECT_TRUE(dialogo->isVisible());
    EXPECT_EQ(ventana.combinacion().text(), "Alt+Super+D:");

    QTest::keyClick(&dialogo->combinacion(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(dialogo->mensaje().text().isEmpty());
    dialogo->botonUsar().click();
    EXPECT_FALSE(dialogo->isVisible());
    EXPECT_EQ(ventana.combinacion().text(), "Ctrl+Alt+K:");

    ventana.cambiarAtajo();
    dialogo = ventana.findChildren<DialogoAtajo*>().constLast();
    EXPECT_EQ(dialogo->combinacion().text(), "Ctrl+Alt+K");
    dialogo->botonPorDefecto().click();
    dialogo->botonUsar().click();
    EXPECT_EQ(atajo, Combinacion());
    EXPECT_EQ(ventana.combinacion().text(), "Alt+Super+D:");
}

TEST_F(VentanaPreferenciasTest, StartingWithTheSessionShowsTheEntryAndWhyItFailed) {
    inicio = true;
    ventana.mostrar();
    EXPECT_TRUE(ventana.inicioConSesion().isChecked());
    ventana.inicioConSesion().click();
    EXPECT_FALSE(inicio);
    EXPECT_FALSE(ventana.inicioConSesion().isChecked());

    fallo = "No se pudo escribir /x/autostart/sonarel.desktop.";
    ventana.inicioConSesion().click();
    EXPECT_FALSE(ventana.inicioConSesion().isChecked());
    EXPECT_EQ(ventana.mensaje().text(), *fallo);
}

}  // namespace
}  // namespace sonarel
