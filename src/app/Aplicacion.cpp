#include "app/Aplicacion.h"

#include "app/AjustesDelEscritorio.h"
#include "app/AtajoDeGnome.h"
#include "ui/DialogoGuardar.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

namespace sonarel {

Aplicacion::Aplicacion(QtClock& clock, ServiciosDeVoz& voz, ServiciosDeEscritorio escritorio)
    : clock_(clock),
      escritorio_(std::move(escritorio)),
      historial_(clock_),
      motor_({*voz.speech, *voz.audio, *voz.microphone, clock_}),
      paster_(*escritorio_.desktop, clock_),
      hotKey_(*escritorio_.hotKeys),
      hud_(motor_, hudEstado_, clock_, *escritorio_.paneles),
      coordinador_(
          {motor_, preferencias_, historial_, paster_, hud_, hotKey_, *escritorio_.desktop}),
      ventana_(
          motor_,
          {preferencias_, paster_, historial_, clock_, abrirAjustesDelEscritorio,
           [this](const QString& nombre) { return elegirArchivoDeTexto(&ventana_, nombre); }},
          [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }),
      bandeja_(motor_, paster_,
               {[this] { coordinador_.alternarDesdeAtajo(); }, [this] { mostrarVentana(); },
                [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }}) {}

void Aplicacion::iniciar(bool conVentana) {
    // What a desktop back end reports about a failed service reaches the user in the HUD.
    connect(escritorio_.avisos.get(), &DesktopNotices::notice, this,
            [this](const QString& aviso) { hud_.avisar(aviso, kSegundosAvisoDelEscritorio); });
    coordinador_.configurar();
    ofrecerAtajoDeGnome();
    bandeja_.mostrar();
    if (conVentana) {
        mostrarVentana();
    }
}

void Aplicacion::alternar() {
    if (escritorio_.alAlternarPorOrden) {
        escritorio_.alAlternarPorOrden();
    }
    coordinador_.alternarDesdeAtajo();
}

void Aplicacion::ofrecerAtajoDeGnome() {
    if (!atajo_de_gnome::disponible()) {
        return;
    }
    QMenu* menu = ventana_.contenido().menuOpciones();
    menu->addSeparator();
    QAction* accion = menu->addAction(textoAtajoDeGnome());
    connect(accion, &QAction::triggered, this, [this] {
        const std::optional<QString> error =
            atajo_de_gnome::anadir(atajo_de_gnome::ordenAlternar());
        hud_.avisar(error.value_or(QStringLiteral(
                        "Atajo añadido: Alt+Super+D dicta en cualquier aplicación.")),
                    kSegundosAvisoDelEscritorio);
    });
}

void Aplicacion::mostrarVentana() {
    ventana_.mostrar();
}

void Aplicacion::abrirCarpetaDeDictados() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(historial_.carpeta()));
}

}  // namespace sonarel
