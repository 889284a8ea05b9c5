#include "control/Coordinador.h"

#include <QPointer>

namespace sonarel {

Coordinador::Coordinador(Servicios servicios, QObject* parent) : QObject(parent), s_(servicios) {}

void Coordinador::configurar() {
    s_.preferencias.registerDefaults(valoresPorDefecto());
    const QPointer<Coordinador> self(this);
    s_.motor.onStopped = [self](const QString& texto) {
        if (self) {
            self->alParar(texto);
        }
    };
    s_.hotKey.action = [self] {
        if (self) {
            self->alternarDesdeAtajo();
        }
    };
    s_.hotKey.registerHotKey();
}

void Coordinador::sincronizarPreferencias() {
    s_.motor.localeID = s_.preferencias.idioma();
    s_.motor.preferOnDevice = s_.preferencias.sinConexion();
    s_.motor.addsPunctuation = s_.preferencias.puntuacion();
    s_.motor.autoStopSilence = s_.preferencias.autoStop();
}

// This process is in front when the frontmost application is one of its own windows: known by
// its process number where the desktop gives one, else by its identifier (two absent ones
// count as equal). No frontmost application at all counts as another one.
bool Coordinador::otraAppDelante() const {
    const Application delante = s_.desktop.frontmostApplication();
    if (!delante) {
        return true;
    }
    if (delante->processIdentifier() > 0) {
        return delante->processIdentifier() != s_.desktop.processIdentifier();
    }
    return delante->bundleIdentifier() != s_.desktop.bundleIdentifier();
}

void Coordinador::alternarDesdeAtajo() {
    if (s_.motor.isListening()) {
        s_.motor.stop();
        s_.hud.ocultar();
        return;
    }
    s_.motor.modoIntegrado = otraAppDelante();
    sincronizarPreferencias();
    if (s_.motor.modoIntegrado) {
        // The new dictation starts from empty text, so that only its own words are delivered;
        // what was there is kept in the history.
        if (!s_.motor.text().isEmpty()) {
            s_.historial.guardar(s_.motor.text());
            s_.motor.clear();
        }
        if (!s_.paster.puedePegar()) {
            s_.paster.pedirPermisoAccesibilidad();
        }
        s_.hud.mostrar();
    }
    s_.motor.start();
}

void Coordinador::alParar(const QString& texto) {
    s_.historial.guardar(texto);
    s_.hud.ocultar();
    const bool enterEnTerminal = s_.preferencias.enterEnTerminal();
    if (s_.motor.modoIntegrado) {
        s_.motor.modoIntegrado = false;
        if (!s_.paster.pegarEnFoco(texto, enterEnTerminal)) {
            s_.hud.avisar(avisoSinAccesibilidad(), kSegundosAviso);
        }
        return;
    }
    if (s_.preferencias.pegarAlParar()) {
        s_.paster.pegarEnAppAnterior(texto);
    } else if (s_.preferencias.copiarAlParar()) {
        s_.paster.copiar(texto);
    }
}

}  // namespace sonarel
