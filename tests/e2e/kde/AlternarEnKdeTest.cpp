// `sonarel --alternar` bound as a Plasma custom shortcut, the way System Settings' "Add New ›
// Command or Script" binds it: a desktop file running the command, registered with kglobalaccel
// (inside KWin) under its keys. Pressed through KWin's fake input, each press starts or ends a
// dictation, whose paste goes through the desktop portal into KWrite: none may be lost.
#include "KWin.h"

#include "support/CarpetasDeSonarel.h"
#include "support/Lecturas.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace sonarel {
namespace {

using testing::enfocadaEnKWin;
using testing::grabaciones;
using testing::leer;
using testing::Programa;
using testing::TecladoKWin;
using testing::waitUntil;

// The custom shortcut's action as kglobalaccel names it: the desktop file, its launch action.
const QStringList kAccion{"net.local.sonarel-alternar.desktop", "_launch", "Sonarel",
                          "Alternar el dictado"};

// Asks kglobalaccel, on the session's bus; its answer's first argument.
QVariant kglobalaccel(const QString& metodo, const QVariantList& argumentos) {
    QDBusMessage llamada = QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/kglobalaccel",
                                                          "org.kde.KGlobalAccel", metodo);
    llamada.setArguments(argumentos);
    return QDBusConnection::sessionBus().call(llamada).arguments().value(0);
}

TEST(AlternarEnKde, EveryDictationToggledByACustomShortcutLandsInKWrite) {
    QTemporaryDir dir;
    QProcessEnvironment entorno = testing::carpetasDeSonarel(dir);
    entorno.insert("QT_LOGGING_RULES", "sonarel.*.debug=true;sonarel.recognizer.debug=false");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");

    // The command, in this test's folders, in the desktop file the shortcut launches.
    const QString orden = testing::ordenAlternar(dir);
    QFile entrada(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/" + kAccion[0]);
    entrada.open(QIODevice::WriteOnly);
    entrada.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Alternar el dictado\n"
                                 "Exec=/bin/sh %1\nNoDisplay=true\n"
                                 "X-KDE-GlobalAccel-CommandShortcut=true\n")
                      .arg(orden)
                      .toUtf8());
    entrada.close();
    const int teclas = (Qt::CTRL | Qt::ALT | Qt::Key_D).toCombined();
    kglobalaccel("doRegister", {kAccion});
    constexpr uint kPresenteSinCargar = 0x2 | 0x4;  // SetPresent | NoAutoloading
    ASSERT_EQ(
        qdbus_cast<QList<int>>(kglobalaccel(
            "setShortcut", {kAccion, QVariant::fromValue(QList<int>{teclas}), kPresenteSinCargar})),
        QList<int>{teclas});

    Programa sonarel(SONAREL_BINARY, {}, entorno);
    QString registro;
    const auto leerRegistro = [&] {
        registro += QString::fromUtf8(sonarel.proceso().readAllStandardError());
        return registro;
    };
    ASSERT_TRUE(waitUntil([&] { return leerRegistro().contains("portal shortcut bound"); }, 30))
        << leerRegistro().toStdString();
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "sonarel"; }, 20));

    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    Programa kwrite("kwrite", {nota}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnKWin() == "org.kde.kwrite"; }, 30));

    TecladoKWin teclado;
    const QString historia =
        dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") + ".txt");
    const auto ultimaEntrada = [&] { return leer(historia).section("=====\n", -1).trimmed(); };
    // Counted, not compared: the tiny test model can give two phrases the same text.
    const auto entradas = [&] { return leer(historia).count("=====\n"); };
    QString escrito;
    for (const QString& frase :
         {QStringLiteral("Hola, esto llega por la orden"), QStringLiteral("Y esto es el segundo"),
          QStringLiteral("Y el tercero también")}) {
        SCOPED_TRACE(frase.toStdString());
        const int antes = entradas();
        const int pegados = leerRegistro().count("portal keys sent");
        const int grabando = grabaciones();
        EXPECT_TRUE(teclado.pulsar("ctrl+alt+d"));
        EXPECT_TRUE(waitUntil([&] { return grabaciones() > grabando; }, 20));
        const QString voz = dir.filePath("voz.wav");
        QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, frase});
        QProcess::execute("paplay", {"--device=vsink", voz});
        EXPECT_TRUE(teclado.pulsar("ctrl+alt+d"));
        EXPECT_TRUE(waitUntil([&] { return grabaciones() == grabando; }, 20));
        QString texto;
        EXPECT_TRUE(waitUntil(
            [&] { return entradas() > antes && !(texto = ultimaEntrada()).isEmpty(); }, 20));
        // The paste's keys are out: the test's own keys cannot mix into them any more.
        EXPECT_TRUE(
            waitUntil([&] { return leerRegistro().count("portal keys sent") > pegados; }, 10));
        EXPECT_EQ(enfocadaEnKWin(), "org.kde.kwrite");
        escrito += texto;
        EXPECT_TRUE(testing::kwriteGuarda(teclado, nota, escrito))
            << leer(nota).toStdString() << " / " << escrito.toStdString();
    }
    if (::testing::Test::HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(leerRegistro()));
    }
    kglobalaccel("unregister", {kAccion[0], kAccion[1]});
    entrada.remove();
}

}  // namespace
}  // namespace sonarel
