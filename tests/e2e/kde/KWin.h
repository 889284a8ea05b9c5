#pragma once

#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

namespace sonarel::testing {

// Runs `cuerpo`, the body of a JavaScript function, as a KWin script on the test desktop; gives
// what it returned as KWin's scripting printed it in its log, empty when KWin did not answer.
inline QString guionDeKWin(const QString& cuerpo) {
    // KWin's log outlives the test process: the mark names the process too.
    static int preguntas = 0;
    const QString marca = QStringLiteral("sonarel-guion-%1-%2 ")
                              .arg(QCoreApplication::applicationPid())
                              .arg(++preguntas);
    QTemporaryFile guion;
    guion.open();
    guion.write(
        QStringLiteral("print(\"%1\" + (function() { %2 })());").arg(marca, cuerpo).toUtf8());
    guion.close();
    const auto llamar = [](const QString& metodo, const QVariantList& argumentos) {
        QDBusMessage llamada = QDBusMessage::createMethodCall("org.kde.KWin", "/Scripting",
                                                              "org.kde.kwin.Scripting", metodo);
        llamada.setArguments(argumentos);
        return QDBusConnection::sessionBus().call(llamada);
    };
    const QString nombre = marca.trimmed();
    llamar("loadScript", {guion.fileName(), nombre});
    llamar("start", {});
    QString respuesta;
    waitUntil(
        [&] {
            QFile registro(qEnvironmentVariable("SONAREL_TEST_KDE_LOGS") + "/kwin.log");
            registro.open(QIODevice::ReadOnly);
            const QString texto = QString::fromUtf8(registro.readAll());
            const int en = texto.indexOf(marca);
            if (en < 0) {
                return false;
            }
            respuesta = texto.mid(en + marca.size()).section('\n', 0, 0).trimmed();
            return true;
        },
        5);
    llamar("unloadScript", {nombre});
    return respuesta;
}

// The window class (a native window's app id) of the active window on the KWin test desktop;
// empty when none or when KWin did not answer. KWin 6 names it activeWindow, 5.27 activeClient.
inline QString enfocadaEnKWin() {
    return guionDeKWin(
        "var w = workspace.activeWindow || workspace.activeClient; "
        "return w ? w.resourceClass : \"\";");
}

// Gives the focus to the normal window of class `clase`, as a click on it would.
inline void activarEnKWin(const QString& clase) {
    guionDeKWin(
        QStringLiteral("var ws = workspace.windowList ? workspace.windowList() : "
                       "workspace.clientList(); "
                       "for (var i = 0; i < ws.length; ++i) { "
                       "if (ws[i].resourceClass != \"%1\" || !ws[i].normalWindow) continue; "
                       "if (workspace.windowList) workspace.activeWindow = ws[i]; "
                       "else workspace.activeClient = ws[i]; } return \"\";")
            .arg(clase));
}

// A keyboard on the KWin test desktop, there for the whole test as a real one stays plugged in
// (KWin forgets the keys of a fake-input client that goes away, the modifiers another one holds
// included). Keys go in as the desktop's remote input sends them (KWin's fake input).
class TecladoKWin {
public:
    TecladoKWin() {
        proceso_.start(SONAREL_TECLAS_KWIN, {});
        proceso_.waitForStarted();
    }
    ~TecladoKWin() {
        proceso_.closeWriteChannel();
        proceso_.waitForFinished(3000);
    }
    // Presses a chord such as "alt+meta+d"; true once KWin has it.
    bool pulsar(const QString& acorde) {
        proceso_.write((acorde + '\n').toUtf8());
        return waitUntil([&] { return proceso_.canReadLine(); }, 10) &&
               proceso_.readLine().trimmed() == "ok";
    }

private:
    QProcess proceso_;
};

// Whether KWrite comes to hold `texto` in `nota` within `segundos`: saved again until it does,
// since a paste may land after the test looks. KWrite ends the file with a line break.
inline bool kwriteGuarda(TecladoKWin& teclado, const QString& nota, const QString& texto,
                         double segundos = 10) {
    return waitUntil(
        [&] {
            teclado.pulsar("ctrl+s");
            return waitUntil([&] { return leer(nota) == texto + "\n"; }, 0.5);
        },
        segundos);
}

}  // namespace sonarel::testing
