// The shortcut workflow as a user meets it on Debian 13's KDE Plasma 6.3
// (scripts/test-trixie-desktop plasma): the real binary natively on KWin 6, the shortcut bound
// through the portal's GlobalShortcuts and pressed through KWin's fake input, the permission to
// type asked once in the portal's dialog ("Allow restoring on future sessions" ticked), speech
// into the virtual microphone, the text into KWrite and Konsole (with Return once it read the
// text), on the clipboard and in the history; then a restart whose kept restore token spares the
// dialog, and a dictation from Sonarel's own window, copied and not pasted.
#include "KWin.h"
#include "trixie/Trixie.h"

#include "delivery/Terminales.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <optional>

namespace sonarel {
namespace {

using testing::enfocadaEnKWin;
using testing::grabaciones;
using testing::leer;
using testing::Programa;
using testing::TecladoKWin;
using testing::waitUntil;

constexpr auto kPortal = "xdg-desktop-portal-kde";

class DictadoEnPlasma6 : public ::testing::Test {
protected:
    // Sonarel started as the user starts it; true once its shortcut is bound through the portal.
    bool arrancar() {
        registro_.clear();
        sonarel_.emplace(SONAREL_BINARY, QStringList{}, entorno);
        return waitUntil(
            [&] { return registro().contains("portal shortcut bound to \"Meta+Alt+D\""); }, 60);
    }

    // One dictation with `frase` spoken, started and ended by the shortcut, while `app` stays in
    // front. Gives the text the history kept, once the paste's keys are out (or, from Sonarel's
    // own window, once it is on the clipboard with no key sent).
    QString dictar(const QString& frase, const QString& app, bool pegado = true) {
        const int pegados = registro().count("portal keys sent");
        testing::dictarHastaQueQuede(
            dir,
            [&] {
                const int grabando = grabaciones();
                EXPECT_TRUE(teclado.pulsar("alt+meta+d"));
                EXPECT_TRUE(waitUntil([&] { return grabaciones() > grabando; }, 30))
                    << "no recording";
                const QString voz = dir.filePath("voz.wav");
                QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, frase});
                QProcess::execute("paplay", {"--device=vsink", voz});
                EXPECT_EQ(enfocadaEnKWin(), app);
                EXPECT_TRUE(teclado.pulsar("alt+meta+d"));
                EXPECT_TRUE(waitUntil([&] { return grabaciones() == grabando; }, 20));
            },
            [&] { return registro(); });
        const QString texto = testing::ultimaEntrada(dir);
        const auto pega = [&] { return registro().count("portal keys sent") > pegados; };
        if (pegado) {
            EXPECT_TRUE(waitUntil(pega, 30));
        } else {
            EXPECT_TRUE(waitUntil([&] { return testing::leerPortapapeles() == texto; }, 10));
            // A paste would follow the copy within the bridge's wait for the selection (1 s).
            EXPECT_FALSE(waitUntil(pega, 3));
        }
        return texto;
    }

    bool guarda(const QString& nota, const QString& texto) {
        return testing::kwriteGuarda(teclado, nota, texto, 15);
    }

    QString registro() {
        registro_ += QString::fromUtf8(sonarel_->proceso().readAllStandardError());
        return registro_;
    }

    QTemporaryDir dir;
    QProcessEnvironment entorno = testing::entornoDeSonarel(dir);
    TecladoKWin teclado;
    std::optional<Programa> sonarel_;
    QString registro_;
};

TEST_F(DictadoEnPlasma6, AllowedOnceEveryDictationLandsAndARestartKeepsThePermission) {
    testing::ajustesDeSonarel(dir, "Sonarel.conf", "enterEnTerminal=true\n");
    ASSERT_TRUE(arrancar()) << registro().toStdString();
    // Asked at its start: allowed, restoring on future sessions ticked.
    ASSERT_TRUE(testing::responderDialogo(kPortal, {"Allow restoring on future sessions"}, "Share"))
        << registro().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !testing::tokenGuardado(dir).isEmpty(); }, 30))
        << registro().toStdString();

    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa kwrite("kwrite", {nota});
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 60));

    // The first dictation after the grant, then a later one.
    const QString primero = dictar("Hola, esto llega por el atajo", "org.kde.kwrite");
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), primero.toStdString());
    EXPECT_TRUE(guarda(nota, primero))
        << leer(nota).toStdString() << " / " << primero.toStdString();
    const QString segundo = dictar("Y esto es el segundo", "org.kde.kwrite");
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), segundo.toStdString());
    EXPECT_TRUE(guarda(nota, primero + segundo)) << leer(nota).toStdString();

    // A terminal: its shell takes every character as it comes.
    const QString salida = dir.filePath("terminal.txt");
    Programa konsole("konsole", {"--separate", "-e", "sh", "-c",
                                 "stty -icanon -echo; exec cat > \"$0\"", salida});
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.konsole"; }, 60));
    const QString tercero = dictar("Hola terminal", "org.kde.konsole");
    // The line runs: Return followed once Konsole had read the pasted text.
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == lineaDeTerminal(tercero) + "\n"; }, 10))
        << leer(salida).toStdString() << " / " << tercero.toStdString();
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), tercero.toStdString());

    // Quit and started again: the kept token restores the permission without the dialog, so the
    // paste goes where the user is.
    sonarel_->proceso().terminate();
    ASSERT_TRUE(sonarel_->proceso().waitForFinished(20000));
    sonarel_.reset();
    ASSERT_TRUE(arrancar()) << registro().toStdString();
    const QString otra = dir.filePath("otra.txt");
    QFile(otra).open(QIODevice::WriteOnly);
    Programa kwrite2("kwrite", {otra});
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 60));
    const QString cuarto = dictar("Otra vez aqui", "org.kde.kwrite");
    EXPECT_TRUE(guarda(otra, cuarto)) << leer(otra).toStdString() << " / " << cuarto.toStdString()
                                      << " / " << leer(nota).toStdString();
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), cuarto.toStdString());

    // From Sonarel's own window the text is only copied.
    testing::activarEnKWin("Sonarel");
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "Sonarel"; }, 20));
    dictar("Esto se queda en Sonarel", "Sonarel", false);
    EXPECT_EQ(testing::ventanasDe(kPortal), 0);
    if (HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(registro()));
    }
}

}  // namespace
}  // namespace sonarel
