#include "platform/doubles/FakeClock.h"
#include "platform/wayland/UinputKeyboard.h"
#include "platform/wayland/WaylandDesktop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace sonarel::wayland {
namespace {

// A route that records what it sent, and can be made to fail or to go away.
struct RutaGrabada : KeyboardRoute {
    bool usable() const override { return presente; }
    bool send(const std::vector<std::uint32_t>& keysyms) override {
        if (falla) {
            return false;
        }
        enviados.push_back(keysyms);
        return true;
    }
    void requestAccess() override { ++permisos; }
    bool sharesHeldKeys() const override { return compartida; }

    bool presente = true;
    bool compartida = false;
    bool falla = false;
    int permisos = 0;
    std::vector<std::vector<std::uint32_t>> enviados;
};

// A window list whose windows never come to the front when asked (GNOME's accessibility bus).
struct VentanasQuietas : WindowList {
    std::vector<std::shared_ptr<const Toplevel>> open() const override { return {terminal}; }
    std::shared_ptr<const Toplevel> focused() const override {
        return terminal->activated ? terminal : nullptr;
    }
    void activate(const Toplevel&) override { ++pedidas; }

    std::shared_ptr<Toplevel> terminal =
        std::make_shared<Toplevel>(Toplevel{"org.gnome.Terminal", "Terminal", false, false});
    int pedidas = 0;
};

struct Cadena : ::testing::Test {
    Cadena() {
        montar(nullptr);
        QObject::connect(&avisos, &DesktopNotices::notice,
                         [this](const QString& aviso) { recibidos << aviso; });
    }

    // The desktop with two scripted routes, and `ventanas` for its window list.
    void montar(std::unique_ptr<WindowList> ventanas) {
        auto a = std::make_unique<RutaGrabada>();
        auto b = std::make_unique<RutaGrabada>();
        primera = a.get();
        segunda = b.get();
        WaylandDesktop::Parts partes;
        partes.toplevels = std::move(ventanas);
        partes.routes.push_back(std::move(a));
        partes.routes.push_back(std::move(b));
        desktop = std::make_unique<WaylandDesktop>(std::move(partes), clock, nullptr,
                                                   QStringList{"sonarel"}, avisos);
    }

    doubles::FakeClock clock;
    DesktopNotices avisos;
    QStringList recibidos;
    RutaGrabada* primera;
    RutaGrabada* segunda;
    std::unique_ptr<WaylandDesktop> desktop;
};

using Enviados = std::vector<std::vector<std::uint32_t>>;
// With no window list, the chord that pastes in terminals and text fields alike.
const std::vector<std::uint32_t> kShiftInsert{kKeysymShiftL, kKeysymInsert};

TEST_F(Cadena, TheFirstUsableRouteSendsAndAFailingOneGivesWayToTheNext) {
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_EQ(primera->enviados, Enviados{kShiftInsert});

    primera->falla = true;  // its permission withdrawn, say
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_EQ(segunda->enviados, Enviados{kShiftInsert});
    EXPECT_TRUE(recibidos.isEmpty());

    primera->presente = false;
    segunda->falla = true;
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_EQ(recibidos, QStringList{noKeyboardNotice()});

    segunda->presente = false;
    EXPECT_FALSE(desktop->mayPostKeystrokes());
    EXPECT_FALSE(desktop->postKeystroke(kPasteKeystroke));
    desktop->requestKeystrokeAccess();
    EXPECT_EQ(primera->permisos + segunda->permisos, 2);
}

TEST_F(Cadena, TheChordWaitsForTheShortcutsKeysToBeReleasedAtMostOneSecond) {
    desktop->setShortcutHeld(true);
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    clock.advance(0.5);
    EXPECT_TRUE(primera->enviados.empty());
    desktop->setShortcutHeld(false);
    clock.advance(0.01);
    EXPECT_EQ(primera->enviados.size(), 1u);

    // A release that never comes holds the chord one second.
    desktop->setShortcutHeld(true);
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    clock.advance(0.9);
    EXPECT_EQ(primera->enviados.size(), 1u);
    clock.advance(0.2);
    EXPECT_EQ(primera->enviados.back(), std::vector<std::uint32_t>{kKeysymReturn});

    // Run by the desktop's own binding, the shortcut says nothing of its keys: a route that
    // shares the user's held keys waits a moment after the command; one of its own does not.
    desktop->setShortcutHeld(false);
    desktop->commandRan();
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_EQ(primera->enviados.size(), 3u);
    primera->compartida = true;
    desktop->commandRan();
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    clock.advance(WaylandDesktop::kBindingKeysUp - 0.05);
    EXPECT_EQ(primera->enviados.size(), 3u);
    clock.advance(0.06);
    EXPECT_EQ(primera->enviados.size(), 4u);
}

// Sonarel's own window has the focus (its button sent the text) and the terminal cannot be
// brought to the front: its paste and Return would land in the window, so neither goes.
TEST_F(Cadena, KeystrokesForAnApplicationThatStaysBehindAreDroppedWithANotice) {
    auto ventanas = std::make_unique<VentanasQuietas>();
    VentanasQuietas& lista = *ventanas;
    montar(std::move(ventanas));
    const std::vector<Application> apps = desktop->runningApplications();
    ASSERT_EQ(apps.size(), 1u);
    apps[0]->activate();
    EXPECT_EQ(lista.pedidas, 1);
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    clock.advance(WaylandDesktop::kActivationWait - 0.05);
    EXPECT_TRUE(primera->enviados.empty());
    EXPECT_TRUE(recibidos.isEmpty());
    clock.advance(0.1);
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    clock.advance(WaylandDesktop::kPasteReadWait);
    EXPECT_TRUE(primera->enviados.empty());
    EXPECT_EQ(recibidos, QStringList{notActivatedNotice()});

    // In front (the user brought it there): the next paste goes at once (as Ctrl+V: this
    // desktop was given no terminal test).
    lista.terminal->activated = true;
    apps[0]->activate();
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_EQ(primera->enviados, (Enviados{{kKeysymControlL, kKeysymV}}));
}

// The kernel's keyboard device, where the user may not make one: no route, so the chain goes on.
TEST(Uinput, AMissingReadOnlyOrForeignDeviceGivesNoRoute) {
    EXPECT_EQ(UinputKeyboard::create(QStringLiteral("/nonexistent/uinput")), nullptr);
    QTemporaryDir dir;
    QFile archivo(dir.filePath("uinput"));
    ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
    archivo.close();
    EXPECT_EQ(UinputKeyboard::create(archivo.fileName()), nullptr) << "not a uinput device";
    archivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                           QFileDevice::ReadOther);
    EXPECT_EQ(UinputKeyboard::create(archivo.fileName()), nullptr) << "read-only";
}

TEST_F(Cadena, WithoutAnyProtocolNoApplicationIsKnownAndOnlyPasteAndReturnAreSent) {
    EXPECT_EQ(desktop->frontmostApplication(), nullptr);
    EXPECT_TRUE(desktop->runningApplications().empty());
    EXPECT_EQ(desktop->applicationId(), "sonarel");
    EXPECT_FALSE(desktop->postKeystroke(Keystroke{/* D */ 2, Modifier::Super}));
}

}  // namespace
}  // namespace sonarel::wayland
