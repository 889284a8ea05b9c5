// The shortcut workflow as a user meets it on a Wayland desktop: the real binary on the sway test
// desktop, the shortcut bound in the compositor to `sonarel --alternar`, speech into the virtual
// microphone, the text into a native Wayland application in front.
#include "delivery/Terminales.h"
#include "support/EventLoop.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::enfocadaEnSway;
using testing::Programa;
using testing::waitUntil;

QString leer(const QString& ruta) {
    QFile archivo(ruta);
    return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll()) : QString();
}

int grabaciones() {
    return ejecutar("pactl", {"list", "short", "source-outputs"})
        .split('\n', Qt::SkipEmptyParts)
        .size();
}

// Alt+Super+D as the user presses it.
void pulsarAtajo() {
    testing::teclasEnSway({"-M", "alt", "-M", "logo", "d", "-m", "logo", "-m", "alt"});
}

// Sonarel's windows on XWayland that are on screen: the main window and, while it shows, the HUD.
int ventanasDeSonarel() {
    return testing::xdotool({"search", "--onlyvisible", "--name", "^Sonarel$"})
        .split('\n', Qt::SkipEmptyParts)
        .size();
}

struct Destino {
    const char* nombre;
    const char* appId;
    bool terminal;
};

class DictadoEnWayland : public ::testing::TestWithParam<Destino> {
protected:
    DictadoEnWayland() {
        entorno.insert("XDG_DATA_HOME", dir.filePath("datos"));
        entorno.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        const QString modelos = dir.filePath("datos/Sonarel/modelos");
        QDir().mkpath(modelos);
        QFile::link(SONAREL_TEST_MODEL, modelos + "/ggml-tiny-test.bin");
        QDir().mkpath(dir.filePath("config/Sonarel"));
        QFile conf(dir.filePath("config/Sonarel/Sonarel.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write("[General]\nenterEnTerminal=true\n");
        conf.close();
        // The start-up reminder to bind the command, already seen.
        QFile escritorio(dir.filePath("config/Sonarel/escritorio.conf"));
        escritorio.open(QIODevice::WriteOnly);
        escritorio.write("[General]\navisoAtajoMostrado=true\n");
        escritorio.close();
        ejecutar("swaymsg", {"bindsym", "Mod1+Mod4+d", "exec", SONAREL_BINARY " --alternar"});
    }

    QTemporaryDir dir;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
};

TEST_P(DictadoEnWayland, TheShortcutPastesTheDictationIntoTheApplicationInFront) {
    const Destino destino = GetParam();
    Programa sonarel(SONAREL_BINARY, {}, entorno);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnSway() == "Sonarel"; }, 20))
        << enfocadaEnSway().toStdString();

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

    const int antes = grabaciones();
    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return grabaciones() > antes; }, 20));
    EXPECT_TRUE(waitUntil([] { return ventanasDeSonarel() == 2; }, 10)) << "no HUD";
    EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);

    const QString voz = dir.filePath("voz.wav");
    QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, "Hola, esto llega por el atajo"});
    QProcess::execute("paplay", {"--device=vsink", voz});
    // The HUD never takes the focus while the dictation runs.
    EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);
    waitUntil([] { return false; }, 1.5);  // the recognizer's last partial of the speech heard

    pulsarAtajo();
    ASSERT_TRUE(waitUntil([&] { return grabaciones() == antes; }, 20));
    const QString historial = leer(dir.filePath("datos/Sonarel/dictados-" +
                                                QDate::currentDate().toString("yyyy-MM") + ".txt"));
    const QString texto = historial.section("=====\n", -1).trimmed();
    ASSERT_FALSE(texto.isEmpty()) << historial.toStdString();
    const QString esperado = destino.terminal ? lineaDeTerminal(texto) : texto;
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == esperado; }, 10))
        << leer(salida).toStdString() << " / " << esperado.toStdString();
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), esperado.toStdString());
    if (!destino.terminal) {  // the terminal's shell ends with the line it read, and foot with it
        EXPECT_EQ(enfocadaEnSway().toStdString(), destino.appId);
    }
    EXPECT_TRUE(waitUntil([] { return ventanasDeSonarel() == 1; }, 10)) << "HUD still shown";
}

INSTANTIATE_TEST_SUITE_P(Destinos, DictadoEnWayland,
                         ::testing::Values(Destino{"Foot", "foot", true},
                                           Destino{"CampoQt", "sonarel_test_textfield", false}),
                         [](const auto& info) { return std::string(info.param.nombre); });

}  // namespace
}  // namespace sonarel
