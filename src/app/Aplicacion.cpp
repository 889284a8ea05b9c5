#include "app/Aplicacion.h"

#include "app/AjustesDelEscritorio.h"
#include "app/AtajoDeGnome.h"
#include "app/InicioConSesion.h"
#include "modelos/Recomendacion.h"
#include "ui/Cabecera.h"
#include "ui/DialogoGuardar.h"
#include "ui/Editor.h"
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
      motor_({*voz.speech, *voz.audio, *voz.microphone, *voz.sonidos, clock_}),
      archivador_(motor_, historial_),
      diario_(motor_, historial_, archivador_),
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
          [this] { abrirCarpetaDeDictados(); }, [this] { salir(); }),
      bandeja_(motor_, paster_,
               {[this] { coordinador_.alternarDesdeAtajo(); }, [this] { mostrarVentana(); },
                [this] { abrirCarpetaDeDictados(); }, [this] { salir(); }}),
      ventanaPreferencias_({preferencias_, [this] { coordinador_.sincronizarPreferencias(); },
                            inicio_con_sesion::activo, inicio_con_sesion::activar,
                            [this] { return hotKey_.combinacion(); },
                            [this](const Combinacion& nueva) { return usarAtajo(nueva); },
                            [&audio = *voz.audio] { return audio.sources(); }}) {
    connect(&coordinador_, &Coordinador::pegadoFallido, &ventana_.contenido().pie(),
            &Pie::avisarPegadoFallido);
    ofrecerPreferencias();
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
    mostrarAtajo();
    std::optional<QString> aviso = coordinador_.avisoDelAtajo();
    // GNOME before 48 lets no application reserve a shortcut: no other program holds it, and
    // the remedy is its own custom shortcut, which needs no notice once it is there.
    const bool gnome = atajo_de_gnome::disponible();
    if (aviso && gnome) {
        const Combinacion atajo = hotKey_.combinacion();
        aviso = atajo_de_gnome::anadido(atajo)
                    ? std::nullopt
                    : std::optional<QString>(avisoAtajoDeGnome(atajo.texto()));
    }
    if (aviso) {
        ventana_.contenido().pie().setAvisoAtajo(Aviso{*aviso, Aviso::Enlace::Ninguno});
        bandeja_.setAvisoAtajo(*aviso);
    }
    if (gnome) {
        ofrecerAtajoDeGnome();
    }
    ofrecerPermisoParaEscribir(conVentana);
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
    QMenu* menu = ventana_.contenido().cabecera().menuOpciones();
    menu->addSeparator();
    atajoDeGnome_ = menu->addAction(textoAtajoDeGnome(hotKey_.combinacion().texto()));
    connect(atajoDeGnome_, &QAction::triggered, this, [this] {
        const Combinacion atajo = hotKey_.combinacion();
        const std::optional<QString> error =
            atajo_de_gnome::anadir(atajo_de_gnome::ordenAlternar(), atajo);
        if (!error) {
            ventana_.contenido().pie().setAvisoAtajo(std::nullopt);
            bandeja_.setAvisoAtajo(QString());
        }
        hud_.avisar(error.value_or(avisoAtajoDeGnomeAnadido(atajo.texto())),
                    kSegundosAvisoDelEscritorio);
    });
}

// The desktop's dialog takes the focus: never while a dictation waits to be pasted where the user
// was.
void Aplicacion::ofrecerPermisoParaEscribir(bool ahora) {
    if (!escritorio_.pedirPermisoParaEscribir) {
        return;
    }
    QAction* accion =
        ventana_.contenido().cabecera().menuOpciones()->addAction(textoPermitirEscribir());
    connect(accion, &QAction::triggered, this, [this] { escritorio_.pedirPermisoParaEscribir(); });
    if (ahora) {
        escritorio_.pedirPermisoParaEscribir();
        return;
    }
    auto conexion = std::make_shared<QMetaObject::Connection>();
    *conexion = connect(&motor_, &SpeechEngine::sessionEnded, this, [this, conexion] {
        disconnect(*conexion);
        escritorio_.pedirPermisoParaEscribir();
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

std::optional<QString> Aplicacion::usarAtajo(const Combinacion& nueva) {
    const Combinacion anterior = hotKey_.combinacion();
    const bool reservada = hotKey_.isRegistered();
    if (nueva == anterior && reservada) {
        return std::nullopt;
    }
    hotKey_.registerHotKey(nueva.tecla, nueva.modificadores);
    if (!hotKey_.isRegistered()) {
        hotKey_.registerHotKey(anterior.tecla, anterior.modificadores);
        return avisoAtajoNoLibre(nueva.texto());
    }
    preferencias_.setAtajo(nueva);
    preferencias_.sync();
    ventana_.contenido().pie().setAvisoAtajo(std::nullopt);
    bandeja_.setAvisoAtajo(QString());
    mostrarAtajo();
    return std::nullopt;
}

void Aplicacion::mostrarAtajo() {
    const QString atajo = hotKey_.combinacion().texto();
    hudEstado_.setAtajo(atajo);
    ventana_.contenido().editor().setAtajo(atajo);
    bandeja_.setAtajo(atajo);
    if (atajoDeGnome_) {
        atajoDeGnome_->setText(textoAtajoDeGnome(atajo));
    }
}

void Aplicacion::mostrarVentana() {
    ventana_.mostrar();
}

void Aplicacion::abrirCarpetaDeDictados() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(historial_.carpeta()));
}

}  // namespace sonarel
