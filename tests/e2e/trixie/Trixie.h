#pragma once

// What the end-to-end tests on the Debian 13 test desktops share (scripts/test-trixie-desktop):
// the portal's permission dialog read and answered over AT-SPI inside that system, and what
// Sonarel keeps in its test folders.
#include "support/CarpetasDeSonarel.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace sonarel::testing {

// How many windows `app` (a portal back end) shows now.
inline int ventanasDe(const QString& app) {
    return ejecutar("trixie-run", {"python3", SONAREL_DIALOGO_DEL_PORTAL, "ventanas", app}).toInt();
}

// Waits for a window of `app`, ticks its check boxes `casillas` and presses `boton`, as a user
// answers the dialog; true once it is answered.
inline bool responderDialogo(const QString& app, const QStringList& casillas,
                             const QString& boton) {
    return QProcess::execute("trixie-run", QStringList{"python3", SONAREL_DIALOGO_DEL_PORTAL,
                                                       "responder", app, boton} +
                                               casillas) == 0;
}

// Sonarel's folders in `dir`, with the test model in place.
inline QProcessEnvironment entornoDeSonarel(const QTemporaryDir& dir) {
    QProcessEnvironment entorno = carpetasDeSonarel(dir);
    entorno.insert("XDG_STATE_HOME", dir.filePath("estado"));
    entorno.insert("QT_LOGGING_RULES", "sonarel.*.debug=true;sonarel.recognizer.debug=false");
    return entorno;
}

// The restore token the portal gave, as Sonarel keeps it.
inline QString tokenGuardado(const QTemporaryDir& dir) {
    return QSettings(dir.filePath("config/Sonarel/escritorio.conf"), QSettings::IniFormat)
        .value("escritorioRemoto/restoreToken")
        .toString();
}

// The month's history.
inline QString historiaDelMes(const QTemporaryDir& dir) {
    return leer(dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") +
                             ".txt"));
}

// How many entries the month's history holds: two dictations may give the same text.
inline int entradas(const QTemporaryDir& dir) {
    return historiaDelMes(dir).count("=====\n");
}

// The last entry of the month's history.
inline QString ultimaEntrada(const QTemporaryDir& dir) {
    return historiaDelMes(dir).section("=====\n", -1).trimmed();
}

// Dictates with `tomar` (start, speak, stop) until the history gains an entry, at most three
// times: again, as a user would, when the test model made no words of it (its random weights
// give none for some takes of a phrase). A dictation without words sends no key, so the next one
// is still the first paste. `registro` gives Sonarel's log so far.
inline void dictarHastaQueQuede(const QTemporaryDir& dir, const std::function<void()>& tomar,
                                const std::function<QString()>& registro) {
    constexpr auto kSinPalabras = "the dictation ended with no words";
    const int antes = entradas(dir);
    for (int vez = 0; vez < 3 && entradas(dir) == antes; ++vez) {
        const int sinPalabras = registro().count(kSinPalabras);
        tomar();
        waitUntil(
            [&] { return entradas(dir) > antes || registro().count(kSinPalabras) > sinPalabras; },
            90);
    }
    EXPECT_GT(entradas(dir), antes);
}

}  // namespace sonarel::testing
