// The shortcut workflow as a user meets it on Debian 13's GNOME 48
// (scripts/test-trixie-desktop gnome): the real binary natively on GNOME Shell, registered with
// the portal's host registry, the shortcut bound through the portal's GlobalShortcuts and pressed
// through mutter's remote input, the permission to type asked once in the portal's dialog
// ("Remember This Selection" on), speech into the virtual microphone, the text into GNOME Text
// Editor and GNOME Terminal (with Return once it read the text), on the clipboard and in the
// history; then a restart whose kept restore token spares the dialog.
#include "gnome/EntradaMutter.h"
#include "trixie/Trixie.h"

#include "delivery/Terminales.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <optional>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::grabaciones;
using testing::leer;
using testing::waitUntil;

constexpr auto kPortal = "xdg-desktop-portal-gnome";
constexpr auto kAtajos = "gnome-control-center-global-shortcuts-provider";

QString portapapeles() {
    return ejecutar("xclip", {"-o", "-selection", "clipboard"});
}

// A program of the test desktop, stopped with the test.
class Programa {
public:
    Programa(const QString& programa, const QStringList& argumentos,
             const QProcessEnvironment& entorno = QProcessEnvironment::systemEnvironment()) {
        proceso_.setProcessEnvironment(entorno);
        proceso_.start(programa, argumentos);
        proceso_.waitForStarted();
    }
    ~Programa() {
        proceso_.terminate();
        if (!proceso_.waitForFinished(5000)) {
            proceso_.kill();
            proceso_.waitForFinished(3000);
        }
    }
    QProcess& proceso() { return proceso_; }

private:
    QProcess proceso_;
};

class DictadoEnGnome48 : public ::testing::Test {
protected:
    // Sonarel started as the user starts it, or as the session's autostart does (`--oculto`).
    void arrancar(const QStringList& argumentos = {}) {
        if (sonarel_) {
            anteriores_ += registro();
        }
        registro_.clear();
        sonarel_.reset();
        sonarel_.emplace(SONAREL_BINARY, argumentos, entorno);
    }

    // Whether the shortcut is bound through the portal.
    bool atajoAsignado() {
        return waitUntil([&] { return registro().contains("portal shortcut bound to"); }, 60);
    }

    // One take: the shortcut, `frase` spoken, the shortcut again.
    void decir(const QString& frase) {
        const int grabando = grabaciones();
        EXPECT_TRUE(teclas({"alt+super+d"}));
        EXPECT_TRUE(waitUntil([&] { return grabaciones() > grabando; }, 30)) << "no recording";
        const QString voz = dir.filePath("voz.wav");
        QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, frase});
        QProcess::execute("paplay", {"--device=vsink", voz});
        EXPECT_TRUE(teclas({"alt+super+d"}));
        EXPECT_TRUE(waitUntil([&] { return grabaciones() == grabando; }, 30));
    }

    // One dictation of `frase`; the text the history kept, once the paste's keys are out.
    QString dictar(const QString& frase) {
        const int pegados = registro().count("portal keys sent");
        testing::dictarHastaQueQuede(
            dir, [&] { decir(frase); }, [&] { return registro(); });
        const QString texto = testing::ultimaEntrada(dir);
        EXPECT_TRUE(waitUntil([&] { return registro().count("portal keys sent") > pegados; }, 30));
        return texto;
    }

    // Whether the editor comes to hold `texto` in `nota`: saved again until it does (GNOME
    // Text Editor ends the file with a line break).
    bool guarda(const QString& nota, const QString& texto) {
        return waitUntil(
            [&] {
                teclas({"ctrl+s"});
                return waitUntil([&] { return leer(nota) == texto + "\n"; }, 1);
            },
            20);
    }

    void TearDown() override {
        if (HasFailure() && sonarel_) {
            std::fprintf(stderr, "%s%s", qPrintable(anteriores_), qPrintable(registro()));
        }
    }

    bool teclas(const QStringList& acciones) { return entrada.teclas(acciones); }

    QString registro() {
        registro_ += QString::fromUtf8(sonarel_->proceso().readAllStandardError());
        return registro_;
    }

    testing::EntradaMutter entrada;
    QTemporaryDir dir;
    QProcessEnvironment entorno = testing::entornoDeSonarel(dir);
    std::optional<Programa> sonarel_;
    QString registro_;
    QString anteriores_;  // what the runs before the current one logged
};

TEST_F(DictadoEnGnome48, AllowedOnceEveryDictationLandsAndARestartKeepsThePermission) {
    ASSERT_TRUE(teclas({"Escape"}));  // the overview GNOME opens at its start
    testing::ajustesDeSonarel(dir, "Sonarel.conf", "enterEnTerminal=true\n");
    arrancar();
    // Asked at its start, in two dialogs: the settings' "Add Keyboard Shortcuts", and the
    // portal's remote desktop, allowed with "Remember This Selection" on.
    ASSERT_TRUE(testing::responderDialogo(kAtajos, {}, "Add"));
    ASSERT_TRUE(atajoAsignado());
    ASSERT_TRUE(testing::responderDialogo(
        kPortal, {"Allow Remote Interaction", "Remember This Selection"}, "Share"));
    ASSERT_TRUE(waitUntil([&] { return !testing::tokenGuardado(dir).isEmpty(); }, 30));

    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa editor("gnome-text-editor", {"--standalone", nota});
    // The editor in front takes the keyboard.
    ASSERT_TRUE(waitUntil(
        [&] {
            return teclas({"x", "ctrl+s"}) && leer(nota).startsWith('x');
        },
        60));
    ASSERT_TRUE(waitUntil(
        [&] {
            return teclas({"ctrl+a", "BackSpace", "ctrl+s"}) &&
                   waitUntil([&] { return leer(nota).trimmed().isEmpty(); }, 1);
        },
        20));

    // The first dictation after the grant, then a later one.
    const QString primero = dictar("Hola, esto llega por el atajo");
    EXPECT_EQ(portapapeles().toStdString(), primero.toStdString());
    EXPECT_TRUE(guarda(nota, primero))
        << leer(nota).toStdString() << " / " << primero.toStdString();
    const QString segundo = dictar("Y esto es el segundo");
    EXPECT_EQ(portapapeles().toStdString(), segundo.toStdString());
    EXPECT_TRUE(guarda(nota, primero + segundo)) << leer(nota).toStdString();

    // GNOME Terminal: its shell takes every character as it comes.
    const QString salida = dir.filePath("terminal.txt");
    Programa terminal("gnome-terminal", {"--wait", "--", "sh", "-c",
                                         "stty -icanon -echo; exec cat > \"$0\"", salida});
    ASSERT_TRUE(waitUntil([&] { return teclas({"x"}) && leer(salida).contains('x'); }, 60));
    const QString tercero = dictar("Hola terminal");
    // The line runs: Return followed once the terminal had read the pasted text.
    EXPECT_TRUE(
        waitUntil([&] { return leer(salida).endsWith(lineaDeTerminal(tercero) + "\n"); }, 10))
        << leer(salida).toStdString() << " / " << tercero.toStdString();
    EXPECT_EQ(portapapeles().toStdString(), tercero.toStdString());

    // Started again at the next login: the desktop keeps the shortcut, and the kept token
    // restores the permission without the dialog, so the paste goes where the user is.
    arrancar({"--oculto"});
    ASSERT_TRUE(atajoAsignado());
    ASSERT_TRUE(waitUntil(
        [&] {
            const int antes = leer(salida).size();
            return teclas({"x"}) && waitUntil([&] { return leer(salida).size() > antes; }, 1);
        },
        60));
    const QString cuarto = dictar("Otra vez aqui");
    EXPECT_TRUE(
        waitUntil([&] { return leer(salida).endsWith(lineaDeTerminal(cuarto) + "\n"); }, 10))
        << leer(salida).toStdString() << " / " << cuarto.toStdString();

    // Sonarel's window in front, brought back by starting it again: a dictation started there
    // is for its own editor, so nothing is pasted and the text is left on the clipboard.
    QProcess otraVez;
    otraVez.setProcessEnvironment(entorno);
    otraVez.start(SONAREL_BINARY, QStringList{});
    ASSERT_TRUE(otraVez.waitForFinished(30000));
    const auto sonarelDelante = [] {
        return testing::xdotool({"getwindowfocus", "getwindowname"}) == "Sonarel";
    };
    // GNOME may leave a window that asks for the focus behind, as a switcher would not.
    ASSERT_TRUE(waitUntil(
        [&] {
            if (waitUntil(sonarelDelante, 2)) {
                return true;
            }
            testing::xdotool({"search", "--name", "^Sonarel$", "windowactivate"});
            return false;
        },
        30));
    const int pegados = registro().count("portal keys sent");
    const QString tecleado = leer(salida);
    testing::dictarHastaQueQuede(
        dir, [&] { decir("Hola ventana"); }, [&] { return registro(); });
    const QString propio = testing::ultimaEntrada(dir);
    EXPECT_TRUE(waitUntil([&] { return portapapeles() == propio; }, 10));
    // A paste would follow the copy within the bridge's wait for the selection (1 s).
    EXPECT_FALSE(waitUntil([&] { return registro().count("portal keys sent") > pegados; }, 3));
    EXPECT_EQ(leer(salida).toStdString(), tecleado.toStdString());

    EXPECT_EQ(testing::ventanasDe(kPortal), 0);
    EXPECT_EQ(testing::ventanasDe(kAtajos), 0);
}

}  // namespace
}  // namespace sonarel
