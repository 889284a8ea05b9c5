#include "app/Aplicacion.h"

#include "app/AjustesDelEscritorio.h"
#include "ui/DialogoGuardar.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace sonarel {

Aplicacion::Aplicacion(QtClock& clock, ServiciosDeVoz& voz, ServiciosDeEscritorio escritorio)
    : clock_(clock),
      escritorio_(std::move(escritorio)),
      historial_(clock_),
      motor_({*voz.speech, *voz.audio, *voz.microphone, clock_}),
      archivador_(motor_, historial_),
      paster_(*escritorio_.desktop, clock_),
      hotKey_(*escritorio_.hotKeys),
      hud_(motor_, hudEstado_, clock_, *escritorio_.paneles),
      coordinador_(
          {motor_, preferencias_, archivador_, paster_, hud_, hotKey_, *escritorio_.desktop}),
      ventana_(
          motor_,
          {preferencias_, paster_, archivador_, clock_, abrirAjustesDelEscritorio,
           [this](const QString& nombre) { return elegirArchivoDeTexto(&ventana_, nombre); }},
          [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }),
      bandeja_(motor_, paster_,
               {[this] { coordinador_.alternarDesdeAtajo(); }, [this] { mostrarVentana(); },
                [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }}) {
    connect(&coordinador_, &Coordinador::pegadoFallido, &ventana_.contenido(),
            &ContentView::avisarPegadoFallido);
}

void Aplicacion::iniciar() {
    coordinador_.configurar();
    if (const std::optional<QString> aviso = coordinador_.avisoDelAtajo()) {
        ventana_.contenido().setAvisoAtajo(*aviso);
        bandeja_.setAvisoAtajo(*aviso);
    }
    bandeja_.mostrar();
    mostrarVentana();
}

void Aplicacion::mostrarVentana() {
    ventana_.mostrar();
}

void Aplicacion::abrirCarpetaDeDictados() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(historial_.carpeta()));
}

}  // namespace sonarel
