#pragma once

#include "app/Bandeja.h"
#include "app/Plataforma.h"
#include "app/VentanaPrincipal.h"
#include "control/Archivador.h"
#include "control/AtajoMantenido.h"
#include "control/Coordinador.h"
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
    // notice line and the tray item's tooltip.
    void iniciar(bool conVentana, bool ofrecerModelos);
    // Toggles the dictation exactly as the shortcut does.
    void alternar();
    // Starts it when none runs; stops the one that runs. Otherwise nothing.
    void empezar();
    void parar();
    // Shows the main window again and brings the application to the front.
    void mostrarVentana();
    // "Preferencias…" (Ctrl+,), from the options menu and the tray.
    void mostrarPreferencias();

    // What the tests reach into: they drive this same assembly.
    VentanaPrincipal& ventana() { return ventana_; }
    Bandeja& bandeja() { return bandeja_; }
    VentanaPreferencias& ventanaPreferencias() { return ventanaPreferencias_; }
    SpeechEngine& motor() { return motor_; }
    HUD& hud() { return hud_; }
    const HotKey& hotKey() const { return hotKey_; }
    Preferences& preferencias() { return preferencias_; }
    const Historial& historial() const { return historial_; }

    static QString textoAtajoDeGnome() {
        return QStringLiteral("Añadir Alt+Super+D a los atajos de GNOME");
    }

private:
    void abrirCarpetaDeDictados();
    void abrirAjustes(PanelAjustes panel);
    void ofrecerAtajoDeGnome();
    void ofrecerPreferencias();

    QtClock& clock_;
    ServiciosDeEscritorio escritorio_;
    Preferences preferencias_;
    Historial historial_;
    SpeechEngine motor_;
    Archivador archivador_;
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
    VentanaPreferencias ventanaPreferencias_;
};

}  // namespace sonarel
