#include "hud/HUD.h"

#include "platform/doubles/FakeClock.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "platform/x11/X11PanelWindowing.h"
#include "support/EventLoop.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::geometriaEnPantalla;
using testing::ventanaActiva;
using testing::ventanaConFoco;
using testing::waitUntil;
using testing::xdotool;

const QString kAviso =
    QStringLiteral("Texto copiado. El escritorio no deja que Sonarel lo escriba solo.");

// The usable area the window manager announces: the screen less the tray's strut.
QRect areaUtil() {
    const QString salida = ejecutar("xprop", {"-root", "_NET_WORKAREA"}).section('=', 1);
    const QStringList n = salida.split(',');
    return QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
}

// 560 by 54, centred, its bottom 96 above the bottom of the usable area.
QRect lugarDelPanel(const QRect& util) {
    return QRect(util.x() + (util.width() - 560) / 2, util.bottom() + 1 - 96 - 54, 560, 54);
}

// The screen as the X server shows it now, also kept in a file for whoever reads the test log.
QImage captura(const QString& nombre) {
    const QString archivo = QDir::current().absoluteFilePath(nombre);
    ejecutar("import", {"-window", "root", archivo});
    return QImage(archivo);
}

// Screenshots until two in a row agree at `puntos` (and `listo`, if given, holds for the last
// one): what is on the screen has settled. Answers the last one.
QImage capturaAsentada(const QString& nombre, const QList<QPoint>& puntos,
                       const std::function<bool(const QImage&)>& listo = {}) {
    QImage anterior;
    QImage actual;
    waitUntil(
        [&] {
            anterior = std::exchange(actual, captura(nombre));
            return !anterior.isNull() && !actual.isNull() && (!listo || listo(actual)) &&
                   std::all_of(puntos.begin(), puntos.end(), [&](const QPoint& p) {
                       return anterior.pixelColor(p) == actual.pixelColor(p);
                   });
        },
        15);
    return actual;
}

// The test's own view of the X server: stacking and pointer as the server itself has them.
class Servidor {
public:
    Servidor() : conexion_(xcb_connect(nullptr, nullptr)) {
        raiz_ = xcb_setup_roots_iterator(xcb_get_setup(conexion_)).data->root;
    }
    ~Servidor() { xcb_disconnect(conexion_); }

    // The child of the root that holds `ventana`: the window itself or the frame around it.
    xcb_window_t deNivelSuperior(xcb_window_t ventana) const {
        while (ventana != XCB_WINDOW_NONE) {
            xcb_query_tree_reply_t* arbol =
                xcb_query_tree_reply(conexion_, xcb_query_tree(conexion_, ventana), nullptr);
            const xcb_window_t padre = arbol ? arbol->parent : xcb_window_t{XCB_WINDOW_NONE};
            std::free(arbol);
            if (padre == raiz_) {
                return ventana;
            }
            ventana = padre;
        }
        return XCB_WINDOW_NONE;
    }

    // Whether `arriba` is stacked above `abajo`, frames included.
    bool encimaDe(xcb_window_t arriba, xcb_window_t abajo) const {
        xcb_query_tree_reply_t* arbol =
            xcb_query_tree_reply(conexion_, xcb_query_tree(conexion_, raiz_), nullptr);
        if (arbol == nullptr) {
            return false;
        }
        // Children come from the bottom up.
        const xcb_window_t* hijos = xcb_query_tree_children(arbol);
        const std::vector<xcb_window_t> pila(hijos, hijos + xcb_query_tree_children_length(arbol));
        std::free(arbol);
        const auto de = std::find(pila.begin(), pila.end(), deNivelSuperior(arriba));
        const auto a = std::find(pila.begin(), pila.end(), deNivelSuperior(abajo));
        return de != pila.end() && a != pila.end() && de > a;
    }

    // The window of the root's that takes the pointer's input where it is now.
    xcb_window_t bajoElPuntero() const {
        xcb_query_pointer_reply_t* puntero =
            xcb_query_pointer_reply(conexion_, xcb_query_pointer(conexion_, raiz_), nullptr);
        const xcb_window_t hijo = puntero ? puntero->child : xcb_window_t{XCB_WINDOW_NONE};
        std::free(puntero);
        return hijo;
    }

private:
    xcb_connection_t* conexion_;
    xcb_window_t raiz_;
};

// A normal window below the panel that counts the clicks it gets.
class Diana : public QWidget {
public:
    int clics = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++clics; }
};

class HUDEnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        xdotool({"mousemove", "640", "400"});
        // The start sound's hush would keep the level down for the first buffers.
        motor.playsSounds = false;
    }

    qulonglong ventanaPanel() const { return hud.panel()->winId(); }
    bool panelEnPantalla() const {
        return hud.panel() != nullptr && hud.panel()->isVisible() &&
               ejecutar("xwininfo", {"-id", QString::number(ventanaPanel())})
                   .contains("IsViewable");
    }

    // Starts a dictation whose microphone hears a steady level.
    void escuchar(float amplitud) {
        motor.start();
        ASSERT_TRUE(
            waitUntil([&] { return motor.status() == Status::listening() && audio.hasTap(); }));
        for (int i = 0; i < 12; ++i) {
            audio.pushConstant(amplitud);
            clock.advance(0.06);
            testing::drainPosted();
        }
        ASSERT_TRUE(waitUntil([&] { return motor.level() > 0.5; }));
    }

    doubles::FakeClock clock;
    // The consent outlives the speech service, whose thread may still be answering it.
    doubles::FakeMicrophoneConsent microfono;
    doubles::ScriptedSpeechService speech;
    doubles::PushAudioInput audio;
    doubles::RecordingSoundPlayer sonidos;
    SpeechEngine motor{{speech, audio, microfono, sonidos, clock}};
    HUDEstado estado;
    x11::X11PanelWindowing ventanas;
    HUD hud{motor, estado, clock, ventanas};
};

TEST_F(HUDEnX11, FloatsAboveTheFrontWindowWithoutTakingItsFocus) {
    testing::Xterm xterm("hud-delante");
    ASSERT_EQ(ventanaConFoco(), xterm.ventana());

    hud.ocultar();  // before any panel exists: nothing happens
    EXPECT_EQ(hud.panel(), nullptr);

    hud.mostrar();
    ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
    // The window manager may still be placing it.
    EXPECT_TRUE(waitUntil(
        [&] { return geometriaEnPantalla(ventanaPanel()) == lugarDelPanel(areaUtil()); }));
    EXPECT_EQ(geometriaEnPantalla(ventanaPanel()), lugarDelPanel(areaUtil()));
    EXPECT_EQ(ventanaConFoco(), xterm.ventana());
    EXPECT_EQ(ventanaActiva(), xterm.ventana());
    EXPECT_FALSE(hud.panel()->isActiveWindow());

    const QString xprop = ejecutar("xprop", {"-id", QString::number(ventanaPanel())});
    for (const char* propiedad :
         {"Client accepts input or input focus: False", "_NET_WM_STATE_ABOVE",
          "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        EXPECT_TRUE(xprop.contains(propiedad)) << propiedad;
    }
    EXPECT_FALSE(xprop.contains("WM_TAKE_FOCUS"));

    // A window raised over the panel's place afterwards stays below it.
    testing::Xterm encima("hud-encima", "100x24+300+500");
    xdotool({"windowraise", QString::number(encima.ventana())});
    // The raise is done once the window manager has restacked the terminal, and drawn once the
    // screen stops changing there.
    Servidor servidor;
    EXPECT_TRUE(waitUntil([&] {
        return servidor.encimaDe(encima.ventana(), xterm.ventana()) &&
               servidor.encimaDe(ventanaPanel(), encima.ventana());
    }));
    EXPECT_EQ(ventanaConFoco(), encima.ventana());
    const QPoint dentroDeLaCapsula = hud.panel()->geometry().topLeft() + QPoint(12, 27);
    const QPoint encimaDeLaCapsula = dentroDeLaCapsula - QPoint(0, 40);
    const QImage pantalla =
        capturaAsentada("hud-encima.png", {dentroDeLaCapsula, encimaDeLaCapsula});
    EXPECT_EQ(pantalla.pixelColor(dentroDeLaCapsula),
              hud.panel()->palette().color(QPalette::Window));
    EXPECT_EQ(pantalla.pixelColor(encimaDeLaCapsula), QColor(Qt::white));

    xterm.activar();
    hud.ocultar();
    EXPECT_TRUE(waitUntil([&] { return !panelEnPantalla(); }));
    EXPECT_EQ(ventanaConFoco(), xterm.ventana());
}

// Two monitors side by side on the test desktop's one screen, for as long as this lives.
class DosMonitores {
public:
    DosMonitores() {
        ejecutar("xrandr", {"--setmonitor", "izquierda", "640/169x800/254+0+0", "screen"});
        ejecutar("xrandr", {"--setmonitor", "derecha", "640/169x800/254+640+0", "none"});
    }
    ~DosMonitores() {
        ejecutar("xrandr", {"--delmonitor", "izquierda"});
        ejecutar("xrandr", {"--delmonitor", "derecha"});
        waitUntil([] { return QGuiApplication::screens().size() == 1; }, 5);
    }
};

TEST_F(HUDEnX11, GoesToTheScreenUnderThePointer) {
    DosMonitores monitores;
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::screens().size() == 2; }, 5));
    for (const int x : {1000, 200}) {
        xdotool({"mousemove", QString::number(x), "300"});
        hud.mostrar();
        ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
        const QScreen* pantalla = QGuiApplication::screenAt(QPoint(x, 300));
        ASSERT_NE(pantalla, nullptr);
        const QRect util = pantalla->availableGeometry();
        EXPECT_TRUE(QRect(x < 640 ? 0 : 640, 0, 640, 800).contains(util)) << x;
        EXPECT_EQ(geometriaEnPantalla(ventanaPanel()), lugarDelPanel(util)) << x;
        hud.ocultar();
    }
}

TEST_F(HUDEnX11, ClicksPassThroughToTheWindowBelow) {
    Diana diana;
    diana.setWindowTitle("hud-diana");
    diana.setGeometry(areaUtil().adjusted(0, 200, 0, 0));
    diana.show();
    ASSERT_TRUE(waitUntil([&] { return diana.isVisible() && diana.windowHandle()->isExposed(); }));

    hud.mostrar();
    ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
    ASSERT_TRUE(waitUntil(
        [&] { return geometriaEnPantalla(ventanaPanel()) == lugarDelPanel(areaUtil()); }));
    const QPoint centro = geometriaEnPantalla(ventanaPanel()).center();
    xdotool({"mousemove", QString::number(centro.x()), QString::number(centro.y())});
    // The X server finds the target below the panel once both are in place and the panel takes
    // no input.
    Servidor servidor;
    EXPECT_TRUE(waitUntil(
        [&] { return servidor.bajoElPuntero() == servidor.deNivelSuperior(diana.winId()); }));
    xdotool({"click", "1"});
    EXPECT_TRUE(waitUntil([&] { return diana.clics == 1; }, 3));
    hud.ocultar();
}

TEST_F(HUDEnX11, NoticeReplacesTheListeningBarForItsSecondsThenHides) {
    hud.mostrar();
    ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
    EXPECT_FALSE(hud.panel()->muestraAviso());

    hud.avisar("Primero");
    clock.advance(1);
    hud.avisar(kAviso, 4);
    EXPECT_TRUE(hud.panel()->muestraAviso());
    EXPECT_EQ(estado.mensaje(), kAviso);
    EXPECT_FALSE(hud.panel()->medidor().isVisible());

    hud.ocultar();  // the stop handler's own hide does not cut the notice short
    clock.advance(3.9);
    testing::drainPosted();
    EXPECT_TRUE(panelEnPantalla());
    EXPECT_EQ(estado.mensaje(), kAviso);

    clock.advance(0.1);
    EXPECT_EQ(estado.mensaje(), std::nullopt);
    EXPECT_FALSE(hud.panel()->muestraAviso());
    EXPECT_TRUE(waitUntil([&] { return !panelEnPantalla(); }));

    // The first notice's timer was cancelled: nothing fires later.
    EXPECT_EQ(clock.pendingTimers(), 0);
}

TEST_F(HUDEnX11, LiveTextKeepsItsLatestWordsInView) {
    hud.mostrar();
    ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
    EXPECT_TRUE(hud.panel()->muestraMarcador());
    QString largo;
    for (int i = 0; i < 40; ++i) {
        largo += QString("palabra%1 ").arg(i);
    }
    largo += "fin\ndel dictado";
    motor.textBinding().set(largo);
    const QString linea = hud.panel()->lineaVisible();
    EXPECT_TRUE(linea.startsWith(QChar(0x2026))) << linea.toStdString();
    EXPECT_TRUE(linea.endsWith("fin del dictado")) << linea.toStdString();
    EXPECT_FALSE(hud.panel()->muestraMarcador());
    hud.ocultar();
}

// Where the centres of the meter's bars are on the screen.
QList<QPoint> centrosDeLasBarras(const HUDView& panel) {
    const QRect medidor = panel.medidor().geometry().translated(panel.geometry().topLeft());
    QList<QPoint> centros;
    for (int i = 0; i < Medidor::kBarras; ++i) {
        centros.append(
            Medidor::rectBarra(i, QRectF(QPointF(0, 0), medidor.size())).center().toPoint() +
            medidor.topLeft());
    }
    return centros;
}

// The bars of the meter as they appear in a screenshot, lit or not.
int barrasEncendidasEn(const QImage& captura, const HUDView& panel) {
    const QColor apagado = panel.palette().color(QPalette::Window);
    const QColor acento = panel.palette().color(QPalette::Highlight);
    int encendidas = 0;
    for (const QPoint& centro : centrosDeLasBarras(panel)) {
        const QColor color = captura.pixelColor(centro);
        const bool comoAcento = std::max({std::abs(color.red() - acento.red()),
                                          std::abs(color.green() - acento.green()),
                                          std::abs(color.blue() - acento.blue())}) < 40;
        const bool comoNaranja =
            color.red() > 200 && color.green() > 110 && color.green() < 190 && color.blue() < 80;
        encendidas += (comoAcento || comoNaranja) && color != apagado ? 1 : 0;
    }
    return encendidas;
}

TEST_F(HUDEnX11, ScreenshotWhileListeningShowsTheLevelAndTheText) {
    testing::Xterm xterm("hud-captura");
    escuchar(0.05f);  // about -26 dB: a level near 0.58, seven bars
    speech.deliverToLatest(RecognitionResult{"hola, esto es una prueba del panel", false});
    ASSERT_TRUE(waitUntil([&] { return motor.text() == "hola, esto es una prueba del panel"; }));

    hud.mostrar();
    ASSERT_TRUE(waitUntil([&] { return panelEnPantalla(); }));
    EXPECT_EQ(ventanaConFoco(), xterm.ventana());

    // Drawn once the panel is in its place, the capsule shows and the bars stop changing between
    // two screenshots with the level's seven lit: the meter fades into a new level, and on a
    // loaded machine two screenshots can both come before its fade has begun.
    ASSERT_TRUE(waitUntil(
        [&] { return geometriaEnPantalla(ventanaPanel()) == lugarDelPanel(areaUtil()); }));
    const HUDView& panel = *hud.panel();
    const QPoint dentroDeLaCapsula = panel.geometry().topLeft() + QPoint(12, 27);
    const QImage pantalla =
        capturaAsentada("hud-escuchando.png", centrosDeLasBarras(panel), [&](const QImage& c) {
            return c.pixelColor(dentroDeLaCapsula) == panel.palette().color(QPalette::Window) &&
                   barrasEncendidasEn(c, panel) == 7;
        });
    ASSERT_FALSE(pantalla.isNull());
    ASSERT_TRUE(motor.level() > 6.0 / 12 && motor.level() <= 7.0 / 12) << motor.level();
    EXPECT_EQ(barrasEncendidasEn(pantalla, *hud.panel()), 7);
    motor.stop();
    hud.ocultar();
}

}  // namespace
}  // namespace sonarel
