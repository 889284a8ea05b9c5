// The shortcut workflow as a user meets it on a Wayland desktop: the real binary on the sway test
// desktop, the shortcut bound in the compositor to `sonarel --alternar` (which starts Sonarel when
// none runs), speech into the virtual microphone, the text into a native Wayland application in
// front, the HUD above it on the compositor's overlay layer; and the same shortcut held down, bound
// to `sonarel --empezar` and, on its release, `sonarel --parar`.
#include "delivery/Terminales.h"
#include "support/CarpetasDeSonarel.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <optional>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::enfocadaEnSway;
using testing::grabaciones;
using testing::leer;
using testing::Programa;
using testing::waitUntil;

// Alt+Super+D as the user presses it.
void pulsarAtajo() {
    testing::teclasEnSway({"-M", "alt", "-M", "logo", "d", "-m", "logo", "-m", "alt"});
}

// Whether the HUD shows where it goes on the 1280x800 output (centred, 96 pixels above the
// bottom) over an application in full screen, whose background is plain there: the place
// differs from the line just above it.
bool hudEnPantalla() {
    const QRect hud(360, 800 - 96 - 54, 560, 54);
    const QImage captura = testing::capturaEnSway(hud.adjusted(0, -4, 0, 0));
    for (int y = 4; y < captura.height(); ++y) {
        for (int x = 0; x < captura.width(); ++x) {
            if (captura.pixel(x, y) != captura.pixel(x, 0)) {
                return true;
            }
        }
    }
    return false;
}

struct Destino {
    const char* nombre;
    const char* appId;
    bool terminal;
    bool sonarelYaCorre;  // otherwise the first press starts it
};

class DictadoEnWayland : public ::testing::TestWithParam<Destino> {
protected:
    DictadoEnWayland() {
        entorno = testing::carpetasDeSonarel(dir);
        testing::ajustesDeSonarel(dir, "Sonarel.conf", "enterEnTerminal=true\n");
        // The start-up reminder to bind the command, already seen.
        testing::ajustesDeSonarel(dir, "escritorio.conf", "avisoAtajoMostrado=true\n");
        // The command as the user binds it, in this test's folders; each run notes its process
        // number, so that the one that became Sonarel can be stopped.
        const QString orden = testing::ordenAlternar(
            dir, QStringLiteral("echo $$ >> %1\n").arg(dir.filePath("ordenes")));
        ejecutar("swaymsg", {"bindsym", "Mod1+Mod4+d", "exec", "sh", orden});
    }

    // The Sonarel that the command started, if it is still running.
    ~DictadoEnWayland() override {
        QFile ordenes(dir.filePath("ordenes"));
        if (!ordenes.open(QIODevice::ReadOnly)) {
            return;
        }
        const QByteArray primera = ordenes.readLine().trimmed();
        if (QFile::symLinkTarget("/proc/" + primera + "/exe") == SONAREL_BINARY) {
            ::kill(primera.toInt(), SIGTERM);
            waitUntil([&] { return !QFile::exists("/proc/" + primera); });
        }
    }

    QTemporaryDir dir;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
};

class DictadoEnWaylandMantenido : public DictadoEnWayland {
protected:
    // As the user binds them: the press not repeated while the key is held, which would start
    // a copy of the command at every repeat, the last ones after the release's.
    // "--": the options are the binding's, not swaymsg's own.
    DictadoEnWaylandMantenido() {
        ejecutar("swaymsg",
                 {"--", "bindsym", "--no-repeat", "Mod1+Mod4+d", "exec", orden("empezar")});
        ejecutar("swaymsg", {"--", "bindsym", "--release", "Mod1+Mod4+d", "exec", orden("parar")});
    }
    // The next tests find the toggle binding alone (each of these is a binding of its own).
    ~DictadoEnWaylandMantenido() override {
        ejecutar("swaymsg", {"--", "unbindsym", "--no-repeat", "Mod1+Mod4+d"});
        ejecutar("swaymsg", {"--", "unbindsym", "--release", "Mod1+Mod4+d"});
    }

    QString orden(const QString& cual) {
        return QStringLiteral("env XDG_DATA_HOME=%1 XDG_CONFIG_HOME=%2 %3 --%4")
            .arg(dir.filePath("datos"), dir.filePath("config"), SONAREL_BINARY, cual);
    }
};

TEST_P(DictadoEnWayland, TheShortcutPastesTheDictationIntoTheApplicationInFront) {
    const Destino destino = GetParam();
    std::optional<Programa> sonarel;
    if (destino.sonarelYaCorre) {
        sonarel.emplace(SONAREL_BINARY, QStringList{}, entorno);
        ASSERT_TRUE(waitUntil([] { return enfocadaEnSway() == "Sonarel"; }, 20))
            << enfocadaEnSway().toStdString();
    }

    const QString salida = dir.filePath("salida.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    Programa app(
        destino.terminal ? QStringLiteral("foot") : QStringLiteral(SONAREL_TEXTFIELD),
        destino.terminal
            ? QStringList{"sh", "-c", "IFS= read -r l; printf '%s' \"$l\" > \"$0\"", salida}
            : QStringList{salida},
        nativo);
    ASSERT_TRUE(waitUntil([&] { return enfocadaEnSway() == destino.appId; }, 20))
        << enfocadaEnSway().toStdString();
    // Full screen, so that only the application and the HUD above it show where the HUD goes.
    ejecutar("swaymsg", {"fullscreen", "enable"});

    const int antes = grabaciones();
    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return grabaciones() > antes; }, 20));
    EXPECT_TRUE(waitUntil(hudEnPantalla, 10)) << "no HUD";
    EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);

    const QString voz = dir.filePath("voz.wav");
    QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, "Hola, esto llega por el atajo"});
    QProcess::execute("paplay", {"--device=vsink", voz});
    // The HUD never takes the focus while the dictation runs.
    EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);

    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return grabaciones() == antes; }, 20));
    // The recognizer's last words are in once the history has the entry.
    const QString rutaHistorial =
        dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") + ".txt");
    QString texto;
    ASSERT_TRUE(waitUntil(
        [&] { return !(texto = leer(rutaHistorial).section("=====\n", -1).trimmed()).isEmpty(); },
        20));
    const QString esperado = destino.terminal ? lineaDeTerminal(texto) : texto;
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == esperado; }, 10))
        << leer(salida).toStdString() << " / " << esperado.toStdString();
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), esperado.toStdString());
    if (!destino.terminal) {  // the terminal's shell ends with the line it read, and foot with it
        EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);
    }
    EXPECT_TRUE(waitUntil([] { return !hudEnPantalla(); }, 10)) << "HUD still shown";
}

// Hold to talk through the compositor: the press runs `sonarel --empezar`, the release (a
// `--release` binding) `sonarel --parar`; the dictation lasts while the keys are down.
TEST_F(DictadoEnWaylandMantenido, HoldingTheShortcutDictatesUntilItIsReleased) {
    Programa sonarel(SONAREL_BINARY, QStringList{}, entorno);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnSway() == "Sonarel"; }, 20))
        << enfocadaEnSway().toStdString();
    const QString salida = dir.filePath("salida.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    Programa campo(QStringLiteral(SONAREL_TEXTFIELD), QStringList{salida}, nativo);
    ASSERT_TRUE(waitUntil([&] { return enfocadaEnSway() == "sonarel_test_textfield"; }, 20));

    const int antes = grabaciones();
    // The user holds Alt+Super+D for a while, speaking meanwhile, then lets go.
    QProcess manos;
    manos.start("wtype", {"-M", "alt", "-M", "logo", "-P", "d", "-s", "15000", "-p", "d", "-m",
                          "logo", "-m", "alt"});
    ASSERT_TRUE(waitUntil([&] { return grabaciones() > antes; }, 10));
    const QString voz = dir.filePath("voz.wav");
    QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, "Hola, esto llega manteniendo"});
    QProcess::execute("paplay", {"--device=vsink", voz});
    EXPECT_GT(grabaciones(), antes) << "stopped before the keys were released";
    ASSERT_TRUE(manos.waitForFinished(30000));
    ASSERT_TRUE(waitUntil([&] { return grabaciones() == antes; }, 20));

    const QString rutaHistorial =
        dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") + ".txt");
    QString texto;
    ASSERT_TRUE(waitUntil(
        [&] { return !(texto = leer(rutaHistorial).section("=====\n", -1).trimmed()).isEmpty(); },
        20));
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == texto; }, 10))
        << leer(salida).toStdString() << " / " << texto.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Destinos, DictadoEnWayland,
                         ::testing::Values(Destino{"Foot", "foot", true, false},
                                           Destino{"CampoQt", "sonarel_test_textfield", false,
                                                   true}),
                         [](const auto& info) { return std::string(info.param.nombre); });

}  // namespace
}  // namespace sonarel
