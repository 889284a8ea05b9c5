// The portal clients against a test portal on a private session bus.
#include "platform/doubles/FakeClock.h"
#include "platform/portal/HostRegistry.h"
#include "platform/portal/PortalGlobalShortcuts.h"
#include "platform/portal/PortalRemoteDesktop.h"
#include "platform/wayland/KeyboardRoute.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace sonarel::portal {
namespace {

using testing::waitUntil;

// A session bus of the test's own, with the test portal on it.
struct BusDePrueba : ::testing::Test {
    BusDePrueba() {
        QFile conf(dir.filePath("bus.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(
            "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
            "<policy context=\"default\"><allow send_destination=\"*\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        conf.close();
        daemon.start("dbus-daemon", {"--nofork", "--print-address=1",
                                     "--config-file=" + dir.filePath("bus.conf")});
        waitUntil([&] { return daemon.canReadLine(); }, 10);
        direccion = QString::fromUtf8(daemon.readLine()).trimmed();
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(direccion, "prueba-" + dir.path()));
        QObject::connect(&avisos, &DesktopNotices::notice,
                         [this](const QString& aviso) { recibidos << aviso; });
    }
    ~BusDePrueba() override {
        portal.kill();
        portal.waitForFinished(3000);
        QDBusConnection::disconnectFromBus("prueba-" + dir.path());
        daemon.kill();
        daemon.waitForFinished(3000);
    }

    void arrancarPortal(const QStringList& extra = {}) {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert("DBUS_SESSION_BUS_ADDRESS", direccion);
        portal.setProcessEnvironment(entorno);
        portal.start(SONAREL_PORTAL_DOUBLE, QStringList{registro()} + extra);
        ASSERT_TRUE(waitUntil(
            [&] { return bus->interface()->isServiceRegistered("org.freedesktop.portal.Desktop"); },
            10));
    }
    // Stops the test portal and forgets its calls, for the next one to start afresh.
    void pararPortal() {
        portal.kill();
        portal.waitForFinished(3000);
        QFile::remove(registro());
        waitUntil([&] {
            return !bus->interface()->isServiceRegistered("org.freedesktop.portal.Desktop");
        });
    }
    void control(const QString& orden) {
        bus->call(QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop",
                                                 "/org/freedesktop/portal/desktop",
                                                 "org.sonarel.PruebaPortal", orden));
    }
    QString registro() const { return dir.filePath("llamadas.txt"); }
    QStringList llamadas() const {
        QFile file(registro());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QProcess daemon;
    QProcess portal;
    QString direccion;
    std::unique_ptr<QDBusConnection> bus;
    doubles::FakeClock clock;
    DesktopNotices avisos;
    QStringList recibidos;
};

const HotKeyID kId{0x44494354, 1};

TEST_F(BusDePrueba, TheShortcutIsBoundOnceAndItsPressAndReleaseArrive) {
    arrancarPortal();
    for (int vez = 0; vez < 2; ++vez) {
        auto atajos = PortalGlobalShortcuts::create(*bus, clock, avisos);
        ASSERT_NE(atajos, nullptr);
        std::vector<HotKeyID> pulsados;
        std::vector<bool> sostenido;
        std::vector<HotKeyID> soltados;
        atajos->installHandler([&](HotKeyID id) { pulsados.push_back(id); });
        atajos->installReleaseHandler([&](HotKeyID id) { soltados.push_back(id); });
        atajos->onHeld = [&](bool held) { sostenido.push_back(held); };
        auto reserva =
            atajos->registerHotKey(2, Modifier::Alt | Modifier::Super, "Alt+Super+D", kId);
        ASSERT_NE(reserva, nullptr);
        ASSERT_TRUE(waitUntil([&] { return llamadas().count("ListShortcuts") == vez + 1; }));

        control("Activar");
        ASSERT_TRUE(waitUntil([&] { return !pulsados.empty(); }));
        EXPECT_EQ(pulsados[0].signature, kId.signature);
        control("Desactivar");
        ASSERT_TRUE(waitUntil([&] { return sostenido.size() == 2; }));
        EXPECT_EQ(sostenido, (std::vector<bool>{true, false}));
        // The release reaches the hot key too, which holding the shortcut down needs.
        ASSERT_EQ(soltados.size(), 1u);
        EXPECT_EQ(soltados[0].id, kId.id);
    }
    // The second start found the binding kept: the user was asked once.
    EXPECT_EQ(llamadas(), (QStringList{"GlobalShortcuts.CreateSession", "ListShortcuts",
                                       "BindShortcuts alternar-dictado ALT+LOGO+d",
                                       "GlobalShortcuts.CreateSession", "ListShortcuts"}));
    EXPECT_TRUE(recibidos.isEmpty());
}

// Another combination chosen while the session runs is bound again with it as the preferred
// trigger; the same one again asks nothing. A later notice names the new one.
TEST_F(BusDePrueba, AnotherCombinationIsBoundAgainWithItsTrigger) {
    arrancarPortal();
    auto atajos = PortalGlobalShortcuts::create(*bus, clock, avisos);
    ASSERT_NE(atajos, nullptr);
    auto reserva = atajos->registerHotKey(2, Modifier::Alt | Modifier::Super, "Alt+Super+D", kId);
    ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 3; }));
    reserva.reset();
    reserva = atajos->registerHotKey(40, Modifier::Ctrl | Modifier::Alt, "Ctrl+Alt+K", kId);
    ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 4; }));
    EXPECT_EQ(llamadas().last(), "BindShortcuts alternar-dictado CTRL+ALT+k");
    reserva.reset();
    reserva = atajos->registerHotKey(40, Modifier::Ctrl | Modifier::Alt, "Ctrl+Alt+K", kId);
    int pulsados = 0;
    atajos->installHandler([&](HotKeyID) { ++pulsados; });
    control("Activar");
    ASSERT_TRUE(waitUntil([&] { return pulsados == 1; }));
    EXPECT_EQ(llamadas().size(), 4);
    EXPECT_TRUE(recibidos.isEmpty()) << recibidos.join('|').toStdString();
    portal.kill();
    EXPECT_TRUE(waitUntil([&] {
        return recibidos == QStringList{PortalGlobalShortcuts::goneNotice("Ctrl+Alt+K")};
    })) << recibidos.join('|').toStdString();
    EXPECT_FALSE(recibidos.value(0).contains("Alt+Super+D"));
}

// GNOME 48's portal answers a binding that took with 2: the shortcut it lists works, and no
// notice says otherwise. One it did not keep still ends in the notice.
TEST_F(BusDePrueba, ABindingThePortalKeptWorksWhateverItsAnswer) {
    for (const bool kept : {true, false}) {
        SCOPED_TRACE(kept ? "kept" : "not kept");
        recibidos.clear();
        arrancarPortal(kept ? QStringList{"--enlace", "2"}
                            : QStringList{"--enlace", "2", "--olvida"});
        auto atajos = PortalGlobalShortcuts::create(*bus, clock, avisos);
        ASSERT_NE(atajos, nullptr);
        int pulsados = 0;
        atajos->installHandler([&](HotKeyID) { ++pulsados; });
        auto reserva =
            atajos->registerHotKey(2, Modifier::Alt | Modifier::Super, "Alt+Super+D", kId);
        ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 3; }));
        control("Activar");
        if (kept) {
            EXPECT_TRUE(waitUntil([&] { return pulsados == 1; }));
            EXPECT_TRUE(recibidos.isEmpty()) << recibidos.join('|').toStdString();
        } else {
            EXPECT_TRUE(waitUntil([&] {
                return recibidos ==
                       QStringList{PortalGlobalShortcuts::refusedNotice("Alt+Super+D")};
            })) << recibidos.join('|').toStdString();
            EXPECT_EQ(pulsados, 0);
        }
        pararPortal();
    }
}

// The user chose Shift+Super+H: each notice that names the shortcut names it.
TEST_F(BusDePrueba, EachFailureOfTheBindingEndsInTheNoticeOfItsCause) {
    struct Caso {
        QStringList opciones;
        QString aviso;
    };
    const QString elegida = "Shift+Super+H";
    for (const Caso& caso :
         {Caso{{"--respuesta", "1"}, PortalGlobalShortcuts::refusedNotice(elegida)},
          Caso{{"--mudo"}, PortalGlobalShortcuts::unansweredNotice()},
          Caso{{"--olvida"}, PortalGlobalShortcuts::unboundNotice(elegida)},
          Caso{{"--sin-teclas"}, PortalGlobalShortcuts::keylessNotice(elegida)},
          Caso{{}, PortalGlobalShortcuts::goneNotice(elegida)}}) {
        SCOPED_TRACE(caso.opciones.join(' ').toStdString());
        recibidos.clear();
        arrancarPortal(caso.opciones);
        auto atajos = PortalGlobalShortcuts::create(*bus, clock, avisos);
        ASSERT_NE(atajos, nullptr);
        int pulsados = 0;
        atajos->installHandler([&](HotKeyID) { ++pulsados; });
        auto reserva = atajos->registerHotKey(4, Modifier::Shift | Modifier::Super, elegida, kId);
        ASSERT_TRUE(
            waitUntil([&] { return llamadas().contains("GlobalShortcuts.CreateSession"); }));
        if (caso.opciones.contains("--mudo")) {
            clock.advance(PortalGlobalShortcuts::kTimeout + 1);
        } else if (caso.opciones.isEmpty()) {
            ASSERT_TRUE(waitUntil([&] { return llamadas().contains("ListShortcuts"); }));
            portal.kill();
            portal.waitForFinished(3000);
        }
        EXPECT_TRUE(waitUntil([&] { return recibidos == QStringList{caso.aviso}; }))
            << recibidos.join('|').toStdString();
        // All but the silent service's name the shortcut, as the user chose it.
        EXPECT_EQ(caso.aviso.contains(elegida), !caso.opciones.contains("--mudo"));
        EXPECT_FALSE(caso.aviso.contains("Alt+Super+D"));
        EXPECT_EQ(pulsados, 0);
        pararPortal();
    }
    EXPECT_EQ(PortalGlobalShortcuts::create(*bus, clock, avisos), nullptr);
}

// The portal passes each call on from a thread of its own: a key event sent before the last one
// was answered could overtake it on the way to the desktop.
TEST_F(BusDePrueba, RemoteDesktopSendsEachKeyEventOnceThePortalAnsweredTheLast) {
    arrancarPortal({"--retiene"});
    auto ruta = PortalRemoteDesktop::create(*bus, clock, avisos, dir.filePath("escritorio.conf"));
    ASSERT_NE(ruta, nullptr);
    ruta->ask();
    // The warm-up tap's press, unanswered.
    ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 4; }));
    testing::drainPosted();
    // Answers the press; the portal handles it behind any key event this process sent before.
    control("Responder");
    EXPECT_EQ(llamadas().size(), 4);
    ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 5; }));
    EXPECT_EQ(llamadas().mid(3), (QStringList{"Keysym ffe1 1", "Keysym ffe1 0"}));
}

TEST_F(BusDePrueba, RemoteDesktopAsksOnceKeepsItsTokenAndSendsKeysyms) {
    arrancarPortal();
    const QString fichas = dir.filePath("escritorio.conf");
    {
        auto ruta = PortalRemoteDesktop::create(*bus, clock, avisos, fichas);
        ASSERT_NE(ruta, nullptr);
        EXPECT_FALSE(ruta->usable());  // nothing asked before the application asks
        // A dictation's request opens no dialog, which would take the focus from where the
        // text is meant to go.
        ruta->requestAccess();
        clock.advance(1);
        EXPECT_TRUE(llamadas().isEmpty());
        ruta->ask();
        // The session's keyboard is woken by a lone Shift tap, and used once applications had
        // time to bind it.
        ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 5; }));
        EXPECT_EQ(llamadas().mid(3), (QStringList{"Keysym ffe1 1", "Keysym ffe1 0"}));
        EXPECT_FALSE(ruta->usable());
        clock.advance(PortalRemoteDesktop::kWarmUp);
        ASSERT_TRUE(ruta->usable());
        // The first keystroke follows a tap of its own.
        EXPECT_TRUE(ruta->send({wayland::kKeysymControlL, wayland::kKeysymV}));
        ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 7; }));
        EXPECT_EQ(llamadas().mid(5), (QStringList{"Keysym ffe1 1", "Keysym ffe1 0"}));
        testing::drainPosted();
        EXPECT_EQ(llamadas().size(), 7);
        clock.advance(PortalRemoteDesktop::kWarmUp);
        ASSERT_TRUE(waitUntil([&] { return llamadas().size() == 11; }));
        EXPECT_EQ(llamadas().mid(7),
                  (QStringList{"Keysym ffe3 1", "Keysym 76 1", "Keysym 76 0", "Keysym ffe3 0"}));
    }
    // A later start restores the session with the kept token, without the dialog's question.
    auto ruta = PortalRemoteDesktop::create(*bus, clock, avisos, fichas);
    ASSERT_TRUE(waitUntil([&] {
        clock.advance(0.05);
        return ruta->usable();
    }));
    EXPECT_TRUE(llamadas().contains("SelectDevices types=1 persist=2 token=ficha-1"));
    EXPECT_EQ(llamadas().first(), "RemoteDesktop.CreateSession");
    EXPECT_EQ(llamadas().at(1), "SelectDevices types=1 persist=2 token=");

    control("CerrarSesion");
    EXPECT_TRUE(waitUntil([&] { return !ruta->usable(); }));
    EXPECT_EQ(recibidos, QStringList{PortalRemoteDesktop::endedNotice()});
}

TEST_F(BusDePrueba, RemoteDesktopRefusedLeavesTheRouteUnusableWithANotice) {
    arrancarPortal({"--respuesta", "1"});
    auto ruta = PortalRemoteDesktop::create(*bus, clock, avisos, dir.filePath("escritorio.conf"));
    ruta->ask();
    EXPECT_TRUE(waitUntil([&] { return !recibidos.isEmpty(); }));
    EXPECT_EQ(recibidos, QStringList{PortalRemoteDesktop::refusedNotice()});
    EXPECT_FALSE(ruta->usable());
    EXPECT_FALSE(ruta->send({wayland::kKeysymReturn}));
    // The menu may ask again after a refusal.
    ruta->ask();
    EXPECT_TRUE(waitUntil([&] { return recibidos.size() == 2; }));
}

TEST_F(BusDePrueba, TheHostRegistrationIsAnsweredBeforeItReturns) {
    arrancarPortal();
    registerHost(*bus, "sonarel");
    EXPECT_EQ(llamadas(), QStringList{"Register sonarel"});
}

}  // namespace
}  // namespace sonarel::portal
