#pragma once

#include "control/Archivador.h"
#include "control/HotKey.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"
#include "hud/HUD.h"
#include "platform/Desktop.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace sonarel {

// Ties the shortcut, the engine and the delivery of text together: the shortcut toggles a
// dictation, shown in the HUD when another application is in front ("integrated mode"), and a
// finished text goes to the history and then into the focused application, the previous one or
// the clipboard, as the mode and the preferences say. Integrated mode lasts one session, whatever
// its outcome; a session of it that fails says why in the HUD. Main thread only.
class Coordinador : public QObject {
    Q_OBJECT

public:
    static constexpr double kSegundosAviso = 4;

    struct Servicios {
        SpeechEngine& motor;
        Preferences& preferencias;
        Archivador& archivador;
        Paster& paster;
        HUD& hud;
        HotKey& hotKey;
        Desktop& desktop;
    };

    explicit Coordinador(Servicios servicios, QObject* parent = nullptr);

    static const QVariantMap& valoresPorDefecto() { return Preferences::valoresPorDefecto(); }
    static QString avisoSinAccesibilidad() {
        return QStringLiteral("Texto copiado. El escritorio no deja que Sonarel lo escriba solo.");
    }
    static QString avisoTranscribiendo() {
        return QStringLiteral("Transcribiendo… el modelo de voz aún está cargando.");
    }
    // Long enough for a big model on a slow disk; the delivery hides it sooner.
    static constexpr double kSegundosTranscribiendo = 120;
    static QString avisoAtajoOcupado(const QString& atajo = Combinacion().texto()) {
        return QStringLiteral(
                   "El atajo %1 no funciona: otro programa ya lo usa. Puedes dictar "
                   "con el botón Dictar o desde el icono de la bandeja.")
            .arg(atajo);
    }

    // Once at launch: registers the preference defaults, installs the stop handler and the
    // shortcut's action, and reserves the shortcut the preferences name (Alt+Super+D unless the
    // user chose another).
    void configurar();
    // Stops a running dictation, or starts one (integrated when another application is in
    // front).
    void alternarDesdeAtajo();
    // Copies the language, offline, punctuation, auto-stop, spoken-command, vocabulary,
    // replacement, microphone and sound preferences into the engine.
    void sincronizarPreferencias();
    // What to tell the user while the shortcut could not be reserved; none while it works.
    std::optional<QString> avisoDelAtajo() const;

signals:
    // A stop's paste into the previous application did not go (none is running, or no
    // permission); the text is on the clipboard.
    void pegadoFallido();

private:
    bool otraAppDelante() const;
    void alParar(const QString& texto);
    void alTerminarSesion();
    void quitarAvisoTranscribiendo();

    Servicios s_;
    bool pulsacionPendiente_ = false;     // a press made while the last session was ending
    bool avisandoTranscripcion_ = false;  // the panel says the stop waits for the model
};

}  // namespace sonarel
