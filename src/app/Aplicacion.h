#pragma once

#include "app/Bandeja.h"
#include "app/Plataforma.h"
#include "app/VentanaPrincipal.h"
#include "control/Archivador.h"
#include "control/AtajoMantenido.h"
#include "control/Coordinador.h"
#include "control/Diario.h"
#include "control/HotKey.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"
#include "history/Historial.h"
#include "hud/HUD.h"
#include "hud/HUDEstado.h"
#include "platform/QtClock.h"
#include "ui/GestorModelos.h"
#include "ui/VentanaPreferencias.h"

#include <QObject>

class QAction;

namespace sonarel {

// The application: the one instance of every service, the main window and the tray item.
class Aplicacion : public QObject {
    Q_OBJECT

public:
    static constexpr double kSegundosAvisoDelEscritorio = 6;

    Aplicacion(QtClock& clock, ServiciosDeVoz& voz, ServiciosDeEscritorio escritorio);

    // Finishes launching: configures the coordinator (the hot key among it), offers in the options
    // menu, on GNOME, to add the shortcut there, shows the tray item and, with `conVentana`,
    // brings the main window to the front; with `ofrecerModelos` the model manager too when no
    // model is installed yet. A shortcut that could not be reserved is told in the window's
    // notice line and the tray item's tooltip. Where the desktop asks in a dialog of its own
    // before the application may type into others, it asks now (or, started to dictate, once
    // that dictation is over), and the options menu can ask again.
    void iniciar(bool conVentana, bool ofrecerModelos);
    // Toggles the dictation exactly as the shortcut does.
    void alternar();
    // Starts it when none runs; stops the one that runs. Otherwise nothing.
    void empezar();
    void parar();
    // Shows the main window again and brings the application to the front.
    void mostrarVentana();
    // Ends the application as "Salir de Sonarel" does: a dictation under way stops and is
    // decoded (up to `kSegundosParaTerminar`), archived and copied; the editor's text is
    // archived; then the event loop ends.
    void salir();
    // The same, but without ending the event loop: for the end of the desktop session and for a
    // quit that came another way.
    void terminarDictado();

    // How long an ending waits for the last words to be decoded, a model still loading
    // included: a logout does not wait for ever, and the journal keeps what was decoded.
    static constexpr double kSegundosParaTerminar = 10;
    // "Preferencias…" (Ctrl+,), from the options menu and the tray.
    void mostrarPreferencias();
    static QString avisoAtajoNoLibre(const QString& atajo) {
        return QStringLiteral("%1 no está libre: otro programa ya lo usa. Elige otra combinación.")
            .arg(atajo);
    }

    // What the tests reach into: they drive this same assembly.
    VentanaPrincipal& ventana() { return ventana_; }
    Bandeja& bandeja() { return bandeja_; }
    VentanaPreferencias& ventanaPreferencias() { return ventanaPreferencias_; }
    SpeechEngine& motor() { return motor_; }
    HUD& hud() { return hud_; }
    const HotKey& hotKey() const { return hotKey_; }
    Preferences& preferencias() { return preferencias_; }
    const Historial& historial() const { return historial_; }
    const HUDEstado& hudEstado() const { return hudEstado_; }

    static QString textoAtajoDeGnome(const QString& atajo) {
        return QStringLiteral("Añadir %1 a los atajos de GNOME").arg(atajo);
    }
    static QString avisoAtajoDeGnome(const QString& atajo) {
        return QStringLiteral(
                   "GNOME no deja a las aplicaciones reservar %1: elige «Añadir %1 a los atajos de "
                   "GNOME» en el menú de opciones.")
            .arg(atajo);
    }
    static QString avisoAtajoDeGnomeAnadido(const QString& atajo) {
        return QStringLiteral("Atajo añadido: %1 dicta en cualquier aplicación.").arg(atajo);
    }
    static QString textoPermitirEscribir() {
        return QStringLiteral("Permitir que Sonarel escriba en otras apps");
    }

private:
    void abrirCarpetaDeDictados();
    void abrirAjustes(PanelAjustes panel);
    void ofrecerAtajoDeGnome();
    void ofrecerPermisoParaEscribir(bool ahora);
    void ofrecerPreferencias();
    // Reserves another combination for the shortcut instead of the one held, and keeps it in the
    // preferences; the one held stays when the new one cannot be had.
    std::optional<QString> usarAtajo(const Combinacion& nueva);
    // Every text that names the shortcut names the one chosen.
    void mostrarAtajo();

    QtClock& clock_;
    ServiciosDeEscritorio escritorio_;
    Preferences preferencias_;
    Historial historial_;
    SpeechEngine motor_;
    Archivador archivador_;
    Diario diario_;
    Paster paster_;
    HotKey hotKey_;
    HUDEstado hudEstado_;
    HUD hud_;
    Coordinador coordinador_;
    AtajoMantenido atajoMantenido_;
    GestorModelos gestorModelos_;
    const QStringList carpetasDeModelos_;
    VentanaPrincipal ventana_;
    Bandeja bandeja_;
    QAction* atajoDeGnome_ = nullptr;  // the options menu's, where GNOME takes custom shortcuts
    bool terminando_ = false;
    VentanaPreferencias ventanaPreferencias_;
};

}  // namespace sonarel
