#include "Montaje.h"

#include "control/Preferences.h"

#include <QFile>

namespace sonarel::testing {
namespace {

bool usarCasa(const QString& casa) {
    for (const char* carpeta : {"CONFIG", "DATA", "CACHE", "STATE"}) {
        qputenv(QByteArray("XDG_") + carpeta + "_HOME",
                (casa + QLatin1Char('/') + QString::fromLatin1(carpeta).toLower()).toUtf8());
    }
    return true;
}

}  // namespace

Montaje::Montaje(std::unique_ptr<SpeechService> speech, std::unique_ptr<SpeechModels> modelos,
                 const QString& casa)
    : enCasa(usarCasa(casa)),
      voz(crearServiciosDeVoz(std::move(speech), std::move(modelos), {})),
      app(clock, voz, crearServiciosDeEscritorio(clock, Preferences().atajo().texto()).value()) {
    app.iniciar(false, false);
}

QString historiaDelMes(const Historial& historial, const Clock& clock) {
    QFile archivo(historial.carpeta() + "/dictados-" + clock.currentDateTime().toString("yyyy-MM") +
                  ".txt");
    return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll()) : QString();
}

QString voz(const QString& carpeta, const QString& frase) {
    static int hechas = 0;
    const QString archivo = carpeta + QStringLiteral("/voz-%1.wav").arg(++hechas);
    QProcess::execute("espeak-ng", {"-v", "es", "-w", archivo, frase});
    return archivo;
}

std::unique_ptr<QProcess> reproducir(const QString& archivo) {
    auto reproductor = std::make_unique<QProcess>();
    reproductor->start("paplay", {"--device=vsink", archivo});
    reproductor->waitForStarted();
    return reproductor;
}

QStringList xtermQueLeeUnaLinea(const QString& salida) {
    return {"-e", "sh", "-c", "IFS= read -r linea; printf '%s' \"$linea\" > \"$0\"", salida};
}

}  // namespace sonarel::testing
