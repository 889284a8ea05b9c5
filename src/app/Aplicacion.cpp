#include "app/Aplicacion.h"

#include "app/AjustesDelEscritorio.h"
#include "app/AtajoDeGnome.h"
#include "modelos/Recomendacion.h"
#include "ui/Cabecera.h"
#include "ui/DialogoGuardar.h"
#include "ui/Pie.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMenu>
#include <QStandardPaths>
#include <QUrl>

#include <utility>

namespace sonarel {

Aplicacion::Aplicacion(QtClock& clock, ServiciosDeVoz& voz, ServiciosDeEscritorio escritorio)
    : clock_(clock),
      escritorio_(std::move(escritorio)),
      historial_(clock_),
      motor_({*voz.speech, *voz.audio, *voz.microphone, clock_}),
      archivador_(motor_, historial_),
      diario_(motor_, historial_, archivador_),
      paster_(*escritorio_.desktop, clock_),
      hotKey_(*escritorio_.hotKeys),
      hud_(motor_, hudEstado_, clock_, *escritorio_.paneles),
      coordinador_(
          {motor_, preferencias_, archivador_, paster_, hud_, hotKey_, *escritorio_.desktop}),
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
          [this] { abrirCarpetaDeDictados(); }, [this] { salir(); }),
      bandeja_(motor_, paster_,
               {[this] { coordinador_.alternarDesdeAtajo(); }, [this] { mostrarVentana(); },
                [this] { abrirCarpetaDeDictados(); }, [this] { salir(); }}) {
    connect(&coordinador_, &Coordinador::pegadoFallido, &ventana_.contenido().pie(),
            &Pie::avisarPegadoFallido);
    // The desktop session ends (logout, shutdown), or the loop ends some other way.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { terminarDictado(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { terminarDictado(); });
}

void Aplicacion::salir() {
    terminarDictado();
    QApplication::quit();
}

void Aplicacion::terminarDictado() {
    if (terminando_) {
        return;
    }
    terminando_ = true;
    // The words go where they cannot be lost: the history and the clipboard, never a paste into
    // whatever is in front while the desktop closes. A logout the user cancels finds the usual
    // delivery again.
    auto entregar = std::exchange(motor_.onStopped, [this](const QString& texto) {
        archivador_.guardarDictado(texto);
        paster_.copiar(texto);
    });
    hud_.ocultar();
    if (motor_.isListening() || motor_.isStopping()) {
        QEventLoop espera;
        connect(&motor_, &SpeechEngine::sessionEnded, &espera, &QEventLoop::quit);
        const std::unique_ptr<Timer> limite =
            clock_.once(kSegundosParaTerminar, [&espera] { espera.quit(); });
        motor_.stop();
        if (motor_.isListening() || motor_.isStopping()) {
            espera.exec();
        }
    }
    motor_.onStopped = std::move(entregar);
    archivador_.guardarYBorrar();
    terminando_ = false;
}

void Aplicacion::iniciar(bool conVentana, bool ofrecerModelos) {
    // What a desktop back end reports about a failed service reaches the user in the HUD.
    connect(escritorio_.avisos.get(), &DesktopNotices::notice, this,
            [this](const QString& aviso) { hud_.avisar(aviso, kSegundosAvisoDelEscritorio); });
    coordinador_.configurar();
    if (diario_.recuperar()) {
        ventana_.contenido().pie().avisarRecuperado();
    }
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

void Aplicacion::mostrarVentana() {
    ventana_.mostrar();
}

void Aplicacion::abrirCarpetaDeDictados() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(historial_.carpeta()));
}

}  // namespace sonarel
