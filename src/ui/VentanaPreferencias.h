#pragma once

#include "control/Preferences.h"
#include "platform/AudioInput.h"
#include "ui/DialogoAtajo.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

namespace sonarel {

// "Preferencias": the settings beyond the options menu, each written at once: the shortcut's
// keys and how it is used, the microphone, spoken commands, the start and stop sounds, the
// user's words (edited in "Tus palabras") and starting with the session.
class VentanaPreferencias : public QWidget {
    Q_OBJECT

public:
    struct Servicios {
        Preferences& preferencias;
        // The coordinator's copy of the engine settings from the preferences.
        std::function<void()> sincronizarPreferencias;
        // The session's autostart entry: whether it is there, and writing or removing it (the
        // reason when that failed).
        std::function<bool()> iniciaConSesion;
        std::function<std::optional<QString>(bool)> iniciarConSesion;
        // The shortcut's combination now, and reserving another one instead.
        std::function<Combinacion()> atajo;
        DialogoAtajo::Usar usarAtajo;
        // The microphones the sound server offers now.
        std::function<std::vector<AudioSource>()> microfonos;
    };

    explicit VentanaPreferencias(Servicios servicios, QWidget* parent = nullptr);

    // Shows the window with the values stored now and brings it to the front.
    void mostrar();

    // "Pulsar para empezar y parar" (0) or "Mantener pulsado" (1).
    QComboBox& usoDelAtajo() { return *atajo_; }
    QLabel& combinacion() { return *combinacion_; }
    // Opens the dialog that records another combination, without waiting for it.
    void cambiarAtajo();
    // "El predeterminado del escritorio" first, then the sound server's microphones.
    QComboBox& microfono() { return *microfono_; }
    QCheckBox& comandosHablados() { return *comandos_; }
    QCheckBox& sonidos() { return *sonidos_; }
    QCheckBox& inicioConSesion() { return *inicio_; }
    QLabel& resumenPalabras() { return *resumen_; }
    QLabel& mensaje() { return *mensaje_; }
    // Opens "Tus palabras" over this window, without waiting for it.
    void editarPalabras();

private:
    void mostrarValores();
    void mostrarMicrofonos();

    Servicios s_;
    QLabel* combinacion_;
    QComboBox* atajo_;
    QComboBox* microfono_;
    QCheckBox* comandos_;
    QCheckBox* sonidos_;
    QLabel* resumen_;
    QCheckBox* inicio_;
    QLabel* mensaje_;
};

}  // namespace sonarel
