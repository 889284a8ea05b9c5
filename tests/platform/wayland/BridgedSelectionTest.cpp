// The paste and its Return on a Wayland desktop without data-control, where this process runs
// through XWayland and the compositor bridges its X11 selections to Wayland clients (GNOME, KDE):
// here a real X server (scripts/test-desktop), with xclip asking for the selections as the
// compositor's bridge does, a recording keyboard route and a clock the test moves.
#include "platform/doubles/FakeClock.h"
#include "platform/wayland/WaylandDesktop.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace sonarel::wayland {
namespace {

using testing::waitUntil;

struct RutaGrabada : KeyboardRoute {
    bool usable() const override { return true; }
    bool send(const std::vector<std::uint32_t>& keysyms) override {
        enviados.push_back(keysyms);
        return true;
    }
    std::vector<std::vector<std::uint32_t>> enviados;
};

const std::vector<std::uint32_t> kShiftInsert{kKeysymShiftL, kKeysymInsert};
const std::vector<std::uint32_t> kReturn{kKeysymReturn};

struct SeleccionPuenteada : ::testing::Test {
    SeleccionPuenteada() {
        WaylandDesktop::Parts partes;
        partes.x11Selection = x11::SelectionWatch::create();
        completo = partes.x11Selection != nullptr;
        auto grabada = std::make_unique<RutaGrabada>();
        ruta = grabada.get();
        partes.routes.push_back(std::move(grabada));
        desktop = std::make_unique<WaylandDesktop>(
            std::move(partes), clock, [](const QString&) { return false; }, QStringList{}, avisos);
    }

    // What the bridge asks: the list of targets, or the text, of CLIPBOARD or PRIMARY. The
    // event loop runs meanwhile, so that this process answers.
    QString pedir(const char* seleccion, bool lista) {
        QProcess xclip;
        QStringList argumentos{"-o", "-selection", seleccion};
        if (lista) {
            argumentos << "-t"
                       << "TARGETS";
        }
        xclip.start("xclip", argumentos);
        waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 15);
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }

    void avanzar(double segundos) {
        testing::drainPosted();
        clock.advance(segundos);
    }

    doubles::FakeClock clock;
    DesktopNotices avisos;
    RutaGrabada* ruta = nullptr;
    std::unique_ptr<WaylandDesktop> desktop;
    bool completo = false;
};

// The paste waits until the bridge took both selections (before, a Wayland client would paste
// the previous text); Return waits until the selection the paste used (the primary one, for
// Shift+Insert) was read: a read of the clipboard, as GNOME's clipboard manager makes of every
// new clipboard, is no sign of it.
TEST_F(SeleccionPuenteada, ThePasteWaitsForTheBridgeAndReturnForTheReadOfItsSelection) {
    ASSERT_TRUE(completo);
    desktop->setClipboardText(QStringLiteral("echo hola"));
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    avanzar(WaylandDesktop::kPollInterval);
    EXPECT_TRUE(ruta->enviados.empty());

    EXPECT_TRUE(pedir("clipboard", true).contains("UTF8_STRING"));
    avanzar(WaylandDesktop::kPollInterval);
    EXPECT_TRUE(ruta->enviados.empty());
    EXPECT_TRUE(pedir("primary", true).contains("UTF8_STRING"));
    avanzar(WaylandDesktop::kPollInterval);
    ASSERT_EQ(ruta->enviados.size(), 1u);
    EXPECT_EQ(ruta->enviados[0], kShiftInsert);

    EXPECT_EQ(pedir("clipboard", false), "echo hola");
    avanzar(WaylandDesktop::kReturnAfterRead * 2);
    EXPECT_EQ(ruta->enviados.size(), 1u);
    EXPECT_EQ(pedir("primary", false), "echo hola");
    avanzar(WaylandDesktop::kReturnAfterRead);
    avanzar(WaylandDesktop::kPollInterval);
    ASSERT_EQ(ruta->enviados.size(), 2u);
    EXPECT_EQ(ruta->enviados[1], kReturn);
}

// A paste never read (the target took another text, or none): its Return is dropped, and so is a
// later Return while no other paste went; a bridge that never asks delays the paste only by its
// bound.
TEST_F(SeleccionPuenteada, AReturnWhosePasteIsNeverReadIsDroppedAndTheBridgeWaitIsBounded) {
    ASSERT_TRUE(completo);
    desktop->setClipboardText(QStringLiteral("echo nunca"));
    pedir("clipboard", true);
    pedir("primary", true);
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    ASSERT_EQ(ruta->enviados.size(), 1u);
    avanzar(WaylandDesktop::kPasteReadWait);
    avanzar(WaylandDesktop::kPollInterval);
    EXPECT_EQ(ruta->enviados.size(), 1u);

    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    avanzar(WaylandDesktop::kPollInterval);
    EXPECT_EQ(ruta->enviados.size(), 1u);

    desktop->setClipboardText(QStringLiteral("echo sin puente"));
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    avanzar(WaylandDesktop::kBridgeWait / 2);
    EXPECT_EQ(ruta->enviados.size(), 1u);
    avanzar(WaylandDesktop::kBridgeWait / 2);
    avanzar(WaylandDesktop::kPollInterval);
    ASSERT_EQ(ruta->enviados.size(), 2u);
    EXPECT_EQ(ruta->enviados[1], kShiftInsert);
}

}  // namespace
}  // namespace sonarel::wayland
