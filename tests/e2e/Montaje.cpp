#include "Montaje.h"

#include "delivery/Terminales.h"

#include <QFile>

namespace sonarel::testing {

Montaje::Montaje(SpeechService& speech, const QString& carpeta)
    : desktop(x11::X11Desktop::create(clock,
                                      [](const QString& id) { return terminales().contains(id); })),
      teclas(x11::X11HotKeyService::create()),
      motor({speech, audio, consentimiento, clock}),
      preferencias(carpeta + "/Sonarel.conf"),
      paster(*desktop, clock),
      hotKey(*teclas),
      coordinador({motor, preferencias, archivador, paster, hud, hotKey, *desktop}) {}

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
