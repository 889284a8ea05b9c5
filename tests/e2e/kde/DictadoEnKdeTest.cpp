// The shortcut workflow as a user meets it on KDE Plasma 5.27: the real binary on KWin with the
// desktop portal and its KDE back end (started by their first call), the shortcut bound through
// the portal and pressed through KWin's fake input, speech into the virtual microphone, the text
// into KWrite and Konsole (native Wayland), the HUD never taking the focus. KWin tells Sonarel
// which window is in front (its desktop file lists KWin's window management), so a terminal gets
// its paste as Shift+Insert and then Return, anything else Ctrl+V, and Sonarel's own window none
// (a dictation from it goes, where the user asks so, to the application before, brought back).
#include "KWin.h"

#include "delivery/Terminales.h"
#include "support/CarpetasDeSonarel.h"
#include "support/Lecturas.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace sonarel {
namespace {

using testing::activarEnKWin;
using testing::ejecutar;
using testing::enfocadaEnKWin;
using testing::grabaciones;
using testing::leer;
using testing::Programa;
using testing::TecladoKWin;
using testing::waitUntil;

class DictadoEnKde : public ::testing::Test {
protected:
    DictadoEnKde() {
        entorno = testing::carpetasDeSonarel(dir);
        entorno.insert("QT_LOGGING_RULES", "sonarel.*.debug=true;sonarel.recognizer.debug=false");
        // Return after a dictation pasted into a terminal.
        ajustes("enterEnTerminal=true\n");
        nativo.insert("QT_QPA_PLATFORM", "wayland");
    }

    // Sonarel's preferences, as the lines of its settings file, before it starts.
    void ajustes(const QByteArray& lineas) {
        testing::ajustesDeSonarel(dir, "Sonarel.conf", lineas);
    }

    // The month's history, and its last entry.
    QString historia() const {
        return dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") +
                            ".txt");
    }
    QString ultimaEntrada() const { return leer(historia()).section("=====\n", -1).trimmed(); }

    // One dictation with `frase` spoken, started and ended by `alternar`, while `app` stays in
    // front: the HUD never takes the focus. Gives the text the history kept; unless `pega` is
    // false, once the paste's keys are out.
    QString dictar(const std::function<void()>& alternar, const QString& frase, const QString& app,
                   bool pega = true) {
        // Counted, not compared: the tiny test model can give two phrases the same text.
        const int antes = leer(historia()).count("=====\n");
        const int pegados = registro().count("portal keys sent");
        const int grabando = grabaciones();
        alternar();
        EXPECT_TRUE(waitUntil([&] { return grabaciones() > grabando; }, 20));
        EXPECT_EQ(enfocadaEnKWin(), app);
        const QString voz = dir.filePath("voz.wav");
        QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, frase});
        QProcess::execute("paplay", {"--device=vsink", voz});
        EXPECT_EQ(enfocadaEnKWin(), app);
        alternar();
        EXPECT_TRUE(waitUntil([&] { return grabaciones() == grabando; }, 20));
        QString texto;
        EXPECT_TRUE(waitUntil(
            [&] {
                return leer(historia()).count("=====\n") > antes &&
                       !(texto = ultimaEntrada()).isEmpty();
            },
            20));
        // The paste's keys are out: the test's own keys cannot mix into them any more.
        EXPECT_TRUE(!pega ||
                    waitUntil([&] { return registro().count("portal keys sent") > pegados; }, 10));
        return texto;
    }

    // What Sonarel printed so far.
    QString registro() {
        registro_ += QString::fromUtf8(sonarel_->proceso().readAllStandardError());
        return registro_;
    }

    QTemporaryDir dir;
    TecladoKWin teclado;
    std::optional<Programa> sonarel_;
    QString registro_;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
};

TEST_F(DictadoEnKde, EveryDictationLandsInKWriteAndKonsoleThroughThePortal) {
    sonarel_.emplace(SONAREL_BINARY, QStringList{}, entorno);
    // The portal started by Sonarel's first call, the shortcut bound through it.
    ASSERT_TRUE(waitUntil(
        [&] { return registro().contains("portal shortcut bound to \"Meta+Alt+D\""); }, 30))
        << registro().toStdString();
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "sonarel"; }, 20));

    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa kwrite("kwrite", {nota}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 30));
    const auto atajo = [this] { EXPECT_TRUE(teclado.pulsar("alt+meta+d")); };
    const auto guarda = [&](const QString& texto) {
        return testing::kwriteGuarda(teclado, nota, texto);
    };

    // The first dictation after the desktop's grant (KDE grants the keyboard without asking).
    const QString primero = dictar(atajo, "Hola, esto llega por el atajo", "org.kde.kwrite");
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), primero.toStdString());
    EXPECT_TRUE(guarda(primero)) << leer(nota).toStdString() << " / " << primero.toStdString();

    // A later one.
    const QString segundo = dictar(atajo, "Y esto es el segundo", "org.kde.kwrite");
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), segundo.toStdString());
    EXPECT_TRUE(guarda(primero + segundo)) << leer(nota).toStdString();
    EXPECT_EQ(registro().count("paste sent as Ctrl+V"), 2);

    // A terminal: its shell takes every character as it comes.
    const QString salida = dir.filePath("terminal.txt");
    Programa konsole(
        "konsole",
        {"--separate", "-e", "sh", "-c", "stty -icanon -echo; exec cat > \"$0\"", salida}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.konsole"; }, 30));
    const QString tercero = dictar(atajo, "Hola terminal", "org.kde.konsole");
    // The line runs: Return followed once Konsole had read the pasted text.
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == lineaDeTerminal(tercero) + "\n"; }, 10))
        << leer(salida).toStdString() << " / " << tercero.toStdString();
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), tercero.toStdString());
    EXPECT_EQ(registro().count("paste sent as Shift+Insert"), 1);
    EXPECT_FALSE(registro().contains("Return not sent"));
    if (HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(registro()));
    }
}

TEST_F(DictadoEnKde, ADictationStartedInSonarelsOwnWindowIsNotPasted) {
    sonarel_.emplace(SONAREL_BINARY, QStringList{}, entorno);
    ASSERT_TRUE(waitUntil([&] { return registro().contains("portal shortcut bound"); }, 30))
        << registro().toStdString();
    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa kwrite("kwrite", {nota}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 30));
    const auto atajo = [this] { EXPECT_TRUE(teclado.pulsar("alt+meta+d")); };

    // KWrite was in front last; now Sonarel's window is (through XWayland: its class).
    activarEnKWin("sonarel");
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "sonarel"; }, 20));
    const QString propio = dictar(atajo, "Esto se queda en Sonarel", "sonarel", false);
    EXPECT_TRUE(waitUntil([&] { return testing::leerPortapapeles() == propio; }, 10));

    // The next one, from KWrite, is the only one pasted anywhere.
    activarEnKWin("org.kde.kwrite");
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 20));
    const QString ajeno = dictar(atajo, "Y esto llega a KWrite", "org.kde.kwrite");
    EXPECT_TRUE(testing::kwriteGuarda(teclado, nota, ajeno))
        << leer(nota).toStdString() << " / " << ajeno.toStdString();
    EXPECT_EQ(registro().count("paste sent as"), 1);
    if (HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(registro()));
    }
}

// With "Pegar en la app anterior al detener" on, a dictation from Sonarel's own window goes to the
// application in front before it: KWin brings it back, and only then the paste goes.
TEST_F(DictadoEnKde, FromSonarelsOwnWindowTheDictationGoesToTheApplicationBefore) {
    ajustes("pegarAlParar=true\n");
    sonarel_.emplace(SONAREL_BINARY, QStringList{}, entorno);
    ASSERT_TRUE(waitUntil([&] { return registro().contains("portal shortcut bound"); }, 30))
        << registro().toStdString();
    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa kwrite("kwrite", {nota}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 30));
    activarEnKWin("sonarel");
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "sonarel"; }, 20));

    const QString texto = dictar([this] { EXPECT_TRUE(teclado.pulsar("alt+meta+d")); },
                                 "Esto vuelve a KWrite", "sonarel");
    EXPECT_EQ(enfocadaEnKWin(), "org.kde.kwrite");
    EXPECT_TRUE(testing::kwriteGuarda(teclado, nota, texto))
        << leer(nota).toStdString() << " / " << texto.toStdString();
    EXPECT_EQ(registro().count("paste sent as Ctrl+V"), 1);
    if (HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(registro()));
    }
}

}  // namespace
}  // namespace sonarel
