#include "app/Aplicacion.h"

#include "app/AjustesDelEscritorio.h"
#include "app/AtajoDeGnome.h"
#include "app/InicioConSesion.h"
#include "modelos/Recomendacion.h"
#include "ui/Cabecera.h"
#include "ui/DialogoGuardar.h"
#include "ui/Pie.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QStandardPaths>
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
      atajoMantenido_(
          clock_, [this] { return motor_.isListening() && !motor_.isStopping(); },
          [this] { coordinador_.alternarDesdeAtajo(); }),
      gestorModelos_({*voz.modelos, preferencias_, clock_, voz.carpetasDeModelos,
                      catalogoPublicado(),
                      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/Sonarel/medicion-modelos.tsv"),
                      memoriaDelEquipo()}),
      carpetasDeModelos_(voz.carpetasDeModelos),
      ventana_(
          motor_,
          {preferencias_, paster_, archivador_, clock_,
           [this] { coordinador_.sincronizarPreferencias(); },
           [this](PanelAjustes panel) { abrirAjustes(panel); },
           [this](const QString& nombre) { return elegirArchivoDeTexto(&ventana_, nombre); }},
          [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }),
      bandeja_(motor_, paster_,
               {[this] { coordinador_.alternarDesdeAtajo(); }, [this] { mostrarVentana(); },
                [this] { abrirCarpetaDeDictados(); }, [] { QApplication::quit(); }}),
      ventanaPreferencias_({preferencias_, [this] { coordinador_.sincronizarPreferencias(); },
                            inicio_con_sesion::activo, inicio_con_sesion::activar}) {
    connect(&coordinador_, &Coordinador::pegadoFallido, &ventana_.contenido().pie(),
            &Pie::avisarPegadoFallido);
    ofrecerPreferencias();
}

void Aplicacion::iniciar(bool conVentana, bool ofrecerModelos) {
    // What a desktop back end reports about a failed service reaches the user in the HUD.
    connect(escritorio_.avisos.get(), &DesktopNotices::notice, this,
            [this](const QString& aviso) { hud_.avisar(aviso, kSegundosAvisoDelEscritorio); });
    coordinador_.configurar();
    // Held down, by the preference, the shortcut's press and release go to the hold instead.
    hotKey_.action = [this] {
        preferencias_.atajoMantenido() ? atajoMantenido_.pulsado()
                                       : coordinador_.alternarDesdeAtajo();
    };
    hotKey_.alSoltar = [this] {
        if (preferencias_.atajoMantenido()) {
            atajoMantenido_.soltado();
        }
    };
    if (const std::optional<QString> aviso = coordinador_.avisoDelAtajo()) {
        ventana_.contenido().pie().setAvisoAtajo(Aviso{*aviso, Aviso::Enlace::Ninguno});
        bandeja_.setAvisoAtajo(*aviso);
    }
    ofrecerAtajoDeGnome();
    bandeja_.mostrar();
    if (conVentana) {
        mostrarVentana();
    }
    if (ofrecerModelos && modelosInstalados(carpetasDeModelos_).isEmpty()) {
        gestorModelos_.mostrar();
    }
}

void Aplicacion::abrirAjustes(PanelAjustes panel) {
    if (panel == PanelAjustes::Modelos) {
        gestorModelos_.mostrar();
    } else {
        abrirAjustesDeSonido();
    }
}

void Aplicacion::alternar() {
    if (escritorio_.alAlternarPorOrden) {
        escritorio_.alAlternarPorOrden();
    }
    coordinador_.alternarDesdeAtajo();
}

void Aplicacion::empezar() {
    if (!motor_.isListening()) {
        alternar();
    }
}

void Aplicacion::parar() {
    if (motor_.isListening() && !motor_.isStopping()) {
        alternar();
    }
}

void Aplicacion::ofrecerAtajoDeGnome() {
    if (!atajo_de_gnome::disponible()) {
        return;
    }
    QMenu* menu = ventana_.contenido().cabecera().menuOpciones();
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

void Aplicacion::ofrecerPreferencias() {
    QMenu* menu = ventana_.contenido().cabecera().menuOpciones();
    menu->addSeparator();
    QAction* accion = menu->addAction(QStringLiteral("Preferencias…"));
    accion->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    // Also in the window itself, so that Ctrl+, works with the menu closed.
    ventana_.addAction(accion);
    connect(accion, &QAction::triggered, this, &Aplicacion::mostrarPreferencias);
    QMenu& bandeja = bandeja_.menu();
    QAction* enBandeja = new QAction(QStringLiteral("Preferencias…"), &bandeja);
    // Before the tray menu's last separator, next to "Abrir ventana".
    const QList<QAction*> acciones = bandeja.actions();
    bandeja.insertAction(acciones.value(acciones.size() - 2), enBandeja);
    connect(enBandeja, &QAction::triggered, this, &Aplicacion::mostrarPreferencias);
}

void Aplicacion::mostrarPreferencias() {
    // Over the main window where that shows; the desktop places it otherwise.
    if (!ventanaPreferencias_.isVisible() && ventana_.isVisible()) {
        QRect marco = ventanaPreferencias_.frameGeometry();
        marco.moveCenter(ventana_.frameGeometry().center());
        ventanaPreferencias_.move(marco.topLeft());
    }
    ventanaPreferencias_.mostrar();
}

void Aplicacion::mostrarVentana() {
    ventana_.mostrar();
}

void Aplicacion::abrirCarpetaDeDictados() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(historial_.carpeta()));
}

}  // namespace sonarel
