#pragma once

#include "support/EventLoop.h"
#include "support/Xdotool.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

namespace sonarel::testing {

// The window class (a native window's app id) of the active window on the KWin test desktop, as
// KWin's scripting reports it in its log; empty when none or when KWin did not answer.
inline QString enfocadaEnKWin() {
    static int preguntas = 0;
    const QString marca = QStringLiteral("sonarel-enfocada-%1 ").arg(++preguntas);
    QTemporaryFile guion;
    guion.open();
    // KWin 6 names the active window activeWindow, 5.27 activeClient.
    guion.write(QStringLiteral("var w = workspace.activeWindow || workspace.activeClient; "
                               "print(\"%1\" + (w ? w.resourceClass : \"\"));")
                    .arg(marca)
                    .toUtf8());
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

}  // namespace sonarel::testing
