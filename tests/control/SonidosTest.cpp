// The start and stop sounds by the preference, with the shortcut pressed or held.
#include "CoordinadorFixture.h"

#include "control/AtajoMantenido.h"

namespace sonarel {
namespace {

using namespace coordinador_de_prueba;
using Sonidos = std::vector<Sound>;

TEST_F(CoordinadorTest, ThePreferenceDecidesWhetherTheShortcutsDictationsSound) {
    pulsarAtajo();
    esperarEscucha();
    EXPECT_EQ(sonidos.played, Sonidos{Sound::Start}) << "on by default";
    pulsarAtajo();
    EXPECT_EQ(sonidos.played, (Sonidos{Sound::Start, Sound::Stop}));

    preferencias.set(QString::fromLatin1(Preferences::kSonidos), false);
    pulsarAtajo();
    esperarEscucha();
    pulsarAtajo();
    EXPECT_EQ(sonidos.played.size(), 2u);

    preferencias.set(QString::fromLatin1(Preferences::kSonidos), true);
    pulsarAtajo();
    esperarEscucha();
    pulsarAtajo();
    EXPECT_EQ(sonidos.played.size(), 4u);
}

// Held: a tap sounds nothing, since it starts nothing; the start sounds once the hold has
// lasted, the stop once the keys go up.
TEST_F(CoordinadorTest, HeldTheShortcutSoundsWhenTheHoldStartsAndWhenItEnds) {
    AtajoMantenido mantenido(
        clock, [&] { return motor.isListening() && !motor.isStopping(); },
        [&] { coordinador.alternarDesdeAtajo(); });
    hotKey.action = [&] { mantenido.pulsado(); };
    hotKey.alSoltar = [&] { mantenido.soltado(); };
    const Modifiers altSuper = Modifier::Alt | Modifier::Super;

    teclas.press(2, altSuper);
    drainPosted();
    clock.advance(AtajoMantenido::kToqueMinimo / 2);
    teclas.release(2, altSuper);
    drainPosted();
    clock.advance(1);
    EXPECT_EQ(sonidos.played, Sonidos{});

    teclas.press(2, altSuper);
    drainPosted();
    clock.advance(AtajoMantenido::kToqueMinimo);
    esperarEscucha();
    EXPECT_EQ(sonidos.played, Sonidos{Sound::Start});
    teclas.release(2, altSuper);
    drainPosted();
    esperarFinDeParada();
    EXPECT_EQ(sonidos.played, (Sonidos{Sound::Start, Sound::Stop}));
}

}  // namespace
}  // namespace sonarel
