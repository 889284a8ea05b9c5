// Hold to talk through the hot key's press and release, on a fake clock.
#include "control/AtajoMantenido.h"

#include "control/HotKey.h"
#include "platform/doubles/FakeClock.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

namespace sonarel {
namespace {

constexpr Modifiers kAltSuper = Modifier::Alt | Modifier::Super;

class AtajoMantenidoTest : public ::testing::Test {
protected:
    AtajoMantenidoTest() {
        hotKey.action = [this] { mantenido.pulsado(); };
        hotKey.alSoltar = [this] { mantenido.soltado(); };
        hotKey.registerHotKey();
    }

    void pulsar() {
        teclas.press(2, kAltSuper);
        testing::drainPosted();
    }
    void soltar() {
        teclas.release(2, kAltSuper);
        testing::drainPosted();
    }

    doubles::FakeClock clock;
    doubles::FakeHotKeyService teclas;
    HotKey hotKey{teclas};
    bool dictando = false;
    int alternados = 0;
    AtajoMantenido mantenido{clock, [this] { return dictando; },
                             [this] {
                                 ++alternados;
                                 dictando = !dictando;
                             }};
};

TEST_F(AtajoMantenidoTest, HeldTheDictationRunsUntilTheKeysGoUp) {
    pulsar();
    clock.advance(0.29);
    EXPECT_FALSE(dictando) << "not before a tap's length";
    clock.advance(0.02);
    EXPECT_TRUE(dictando);
    clock.advance(5);
    EXPECT_TRUE(dictando);
    soltar();
    EXPECT_FALSE(dictando);
    EXPECT_EQ(alternados, 2);
}

TEST_F(AtajoMantenidoTest, ATapShorterThanTheMinimumIsIgnored) {
    pulsar();
    clock.advance(0.2);
    soltar();
    clock.advance(5);
    EXPECT_FALSE(dictando);
    EXPECT_EQ(alternados, 0);
}

TEST_F(AtajoMantenidoTest, APressWhileADictationRunsStopsItAndItsReleaseDoesNothing) {
    dictando = true;  // started from the window
    pulsar();
    EXPECT_FALSE(dictando);
    clock.advance(1);
    soltar();
    EXPECT_FALSE(dictando);
    EXPECT_EQ(alternados, 1);
}

TEST_F(AtajoMantenidoTest, ADictationStoppedMeanwhileIsNotStartedAgainByTheRelease) {
    pulsar();
    clock.advance(1);
    ASSERT_TRUE(dictando);
    dictando = false;  // auto-stop, or the window's button
    soltar();
    EXPECT_FALSE(dictando);
    EXPECT_EQ(alternados, 1);
}

}  // namespace
}  // namespace sonarel
