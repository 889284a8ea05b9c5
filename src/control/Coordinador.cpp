#include "control/Coordinador.h"

#include "engine/Replacements.h"

#include <QPointer>

#include <utility>

namespace sonarel {

Coordinador::Coordinador(Servicios servicios, QObject* parent) : QObject(parent), s_(servicios) {
    connect(&s_.motor, &SpeechEngine::sessionEnded, this, &Coordinador::alTerminarSesion);
}

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
    const Combinacion atajo = s_.preferencias.atajo();
    s_.hotKey.registerHotKey(atajo.tecla, atajo.modificadores);
}

std::optional<QString> Coordinador::avisoDelAtajo() const {
    if (s_.hotKey.isRegistered()) {
        return std::nullopt;
    }
    return avisoAtajoOcupado(s_.hotKey.combinacion().texto());
}

void Coordinador::sincronizarPreferencias() {
    s_.motor.localeID = s_.preferencias.idioma();
    s_.motor.preferOnDevice = s_.preferencias.sinConexion();
    s_.motor.addsPunctuation = s_.preferencias.puntuacion();
    s_.motor.autoStopSilence = s_.preferencias.autoStop();
    s_.motor.spokenCommands = s_.preferencias.comandosHablados();
    s_.motor.vocabulary = s_.preferencias.vocabulario();
    s_.motor.replacements = text::parseReplacements(s_.preferencias.reemplazos());
    s_.motor.microphone = s_.preferencias.microfono();
    s_.motor.playsSounds = s_.preferencias.sonidos();
}

// This process is in front when one of its windows has the focus, or when the frontmost
// application is one of its own: known by its process number where the desktop gives one, else by
// its identifier (two absent ones count as equal). No frontmost application at all counts as
// another one.
bool Coordinador::otraAppDelante() const {
    // Whatever the desktop reports (GNOME and KDE report nothing).
    if (s_.desktop.ownWindowHasFocus()) {
        return false;
    }
    const Application delante = s_.desktop.frontmostApplication();
    if (!delante) {
        return true;
    }
    if (delante->processIdentifier() > 0) {
        return delante->processIdentifier() != s_.desktop.processIdentifier();
    }
    return delante->applicationId() != s_.desktop.applicationId();
}

void Coordinador::alternarDesdeAtajo() {
    // A session still decoding its last words (one that failed, or whose model is loading): the
    // new one starts when it has ended, so that neither its words nor its mode are lost.
    if (s_.motor.isStopping()) {
        pulsacionPendiente_ = true;
        return;
    }
    if (s_.motor.isListening()) {
        s_.motor.stop();
        // Words heard before the model was ready are decoded once it is: until then the panel
        // says so, and the delivery hides it.
        if (s_.motor.modoIntegrado && s_.motor.isStopping() && s_.motor.isWaitingForModel()) {
            s_.hud.avisar(avisoTranscribiendo(), kSegundosTranscribiendo);
            avisandoTranscripcion_ = true;
        } else {
            s_.hud.ocultar();
        }
        return;
    }
    s_.motor.modoIntegrado = otraAppDelante();
    sincronizarPreferencias();
    if (s_.motor.modoIntegrado) {
        // The new dictation starts from empty text, so that only its own words are delivered;
        // what was there is kept in the history.
        if (!s_.motor.text().isEmpty()) {
            s_.archivador.guardarYBorrar();
        }
        if (!s_.paster.puedePegar()) {
            s_.paster.pedirPermisoAccesibilidad();
        }
        // A notice left from the last session would hide the new one's listening bar.
        s_.hud.quitarAviso();
        s_.hud.mostrar();
    }
    s_.motor.start();
}

void Coordinador::quitarAvisoTranscribiendo() {
    if (std::exchange(avisandoTranscripcion_, false)) {
        s_.hud.quitarAviso();
    }
}

void Coordinador::alParar(const QString& texto) {
    quitarAvisoTranscribiendo();
    s_.archivador.guardarDictado(texto);
    s_.hud.ocultar();
    const bool enterEnTerminal = s_.preferencias.enterEnTerminal();
    if (s_.motor.modoIntegrado) {
        // Stopped from this application's own window: a paste there would double the text in
        // its own editor.
        if (!otraAppDelante()) {
            s_.paster.copiar(texto);
            return;
        }
        if (!s_.paster.pegarEnFoco(texto, enterEnTerminal)) {
            s_.hud.avisar(avisoSinAccesibilidad(), kSegundosAviso);
        }
        return;
    }
    if (s_.preferencias.pegarAlParar()) {
        if (!s_.paster.pegarEnAppAnterior(texto)) {
            emit pegadoFallido();
        }
    } else if (s_.preferencias.copiarAlParar()) {
        s_.paster.copiar(texto);
    }
}

// Whatever ended the session (a stop with or without text, a start that failed), the next
// dictation follows its own mode, and the panel does not stay on the listening bar.
void Coordinador::alTerminarSesion() {
    quitarAvisoTranscribiendo();
    const bool integrado = s_.motor.modoIntegrado;
    s_.motor.modoIntegrado = false;
    if (integrado) {
        if (s_.motor.status().isFailed()) {
            s_.hud.avisar(s_.motor.status().message(), kSegundosAviso);
        } else {
            s_.hud.ocultar();
        }
    }
    if (std::exchange(pulsacionPendiente_, false)) {
        // Once the engine has finished ending the session.
        QMetaObject::invokeMethod(this, &Coordinador::alternarDesdeAtajo, Qt::QueuedConnection);
    }
}

}  // namespace sonarel
