// The user's own shortcut, chosen in "Preferencias" on the test desktop: a combination another X
// client holds is refused and the one held stays; a free one becomes the hot key at once, names
// itself in every text, and is the one reserved at the next launch.
#include "Montaje.h"

#include "app/Bandeja.h"
#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"
#include "support/Xdotool.h"
#include "ui/DialogoAtajo.h"
#include "ui/Editor.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace sonarel {
namespace {

using testing::waitUntil;
using testing::xdotool;

std::unique_ptr<testing::Montaje> lanzar(const QString& casa) {
    return std::make_unique<testing::Montaje>(std::make_unique<doubles::ScriptedSpeechService>(),
                                              std::make_unique<doubles::FakeSpeechModels>(), casa);
}

// Another program's grab of Ctrl+Alt+J, on a connection of its own, with and without the locks.
struct OtroPrograma {
    OtroPrograma() {
        symbols = xcb_key_symbols_alloc(conexion);
        xcb_keycode_t* codigos = xcb_key_symbols_get_keycode(symbols, 'j');
        j = *codigos;
        std::free(codigos);
        const xcb_void_cookie_t grab = xcb_grab_key_checked(
            conexion, 1, raiz(), kModificadores, j, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        concedido = xcb_request_check(conexion, grab) == nullptr;
    }
    ~OtroPrograma() {
        xcb_key_symbols_free(symbols);
        xcb_disconnect(conexion);
    }
    xcb_window_t raiz() const {
        return xcb_setup_roots_iterator(xcb_get_setup(conexion)).data->root;
    }

    static constexpr std::uint16_t kModificadores = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    xcb_connection_t* conexion = xcb_connect(nullptr, nullptr);
    xcb_key_symbols_t* symbols;
    xcb_keycode_t j;
    bool concedido = false;
};

DialogoAtajo* abrirDialogo(Aplicacion& app) {
    app.mostrarPreferencias();
    app.ventanaPreferencias().cambiarAtajo();
    return app.ventanaPreferencias().findChild<DialogoAtajo*>();
}

TEST(AtajoPropio, AHeldCombinationIsRefusedAndAFreeOneBecomesTheHotKey) {
    QTemporaryDir casa;
    OtroPrograma otro;
    ASSERT_TRUE(otro.concedido);
    auto montaje = lanzar(casa.path());
    Aplicacion& app = montaje->app;
    ASSERT_TRUE(app.hotKey().isRegistered());

    DialogoAtajo* dialogo = abrirDialogo(app);
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(app.ventanaPreferencias().combinacion().text(), "Alt+Super+D:");
    EXPECT_EQ(dialogo->combinacion().text(), "Alt+Super+D");
    // A key without Ctrl, Alt or Super would take a key from typing.
    QTest::keyClick(&dialogo->combinacion(), Qt::Key_J, Qt::ShiftModifier);
    EXPECT_EQ(dialogo->combinacion().text(), "Alt+Super+D");
    EXPECT_FALSE(dialogo->mensaje().text().isEmpty());

    QTest::keyClick(&dialogo->combinacion(), Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(dialogo->combinacion().text(), "Ctrl+Alt+J");
    dialogo->botonUsar().click();
    EXPECT_EQ(dialogo->mensaje().text(), Aplicacion::avisoAtajoNoLibre("Ctrl+Alt+J"));
    EXPECT_TRUE(dialogo->isVisible());
    EXPECT_TRUE(app.hotKey().isRegistered());
    EXPECT_EQ(app.hotKey().combinacion().texto(), "Alt+Super+D");
    EXPECT_EQ(app.preferencias().atajo(), Combinacion());

    QTest::keyClick(&dialogo->combinacion(), Qt::Key_K,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(dialogo->combinacion().text(), "Ctrl+Alt+Shift+K");
    dialogo->botonUsar().click();
    ASSERT_TRUE(
        waitUntil([&] { return app.ventanaPreferencias().findChild<DialogoAtajo*>() == nullptr; }));
    EXPECT_EQ(app.ventanaPreferencias().combinacion().text(), "Ctrl+Alt+Shift+K:");
    EXPECT_EQ(app.bandeja().menu().actions().value(0)->text(), "Dictar  (Ctrl+Alt+Shift+K)");
    EXPECT_TRUE(app.ventana().contenido().editor().marcador()->text().contains(
        "Pulsa Dictar (Ctrl+Alt+Shift+K)"));
    app.ventanaPreferencias().close();

    // The new keys toggle the dictation over another application; the old ones are free again.
    testing::Xterm xterm("atajo-propio-xterm");
    ASSERT_TRUE(waitUntil([&] { return testing::ventanaConFoco() == xterm.ventana(); }));
    xdotool({"key", "ctrl+alt+shift+k"});
    ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::listening(); }, 10))
        << app.motor().status().message().toStdString();
    ASSERT_TRUE(waitUntil([&] { return app.hud().panel() != nullptr; }));
    EXPECT_EQ(app.hud().panel()->atajo(), "Ctrl+Alt+Shift+K");
    xdotool({"key", "ctrl+alt+shift+k"});
    ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::idle(); }));
    // Alt+Super+D is free again: another program may have it.
    xcb_keycode_t* d = xcb_key_symbols_get_keycode(otro.symbols, 'd');
    const xcb_void_cookie_t grab =
        xcb_grab_key_checked(otro.conexion, 1, otro.raiz(), XCB_MOD_MASK_1 | XCB_MOD_MASK_4, *d,
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    std::free(d);
    EXPECT_EQ(xcb_request_check(otro.conexion, grab), nullptr);

    // The next launch reserves the chosen keys.
    montaje.reset();
    montaje = lanzar(casa.path());
    EXPECT_TRUE(montaje->app.hotKey().isRegistered());
    EXPECT_EQ(montaje->app.hotKey().combinacion().texto(), "Ctrl+Alt+Shift+K");
}

}  // namespace
}  // namespace sonarel
