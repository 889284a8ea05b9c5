#pragma once

#include "control/Coordinador.h"
#include "platform/QtClock.h"
#include "platform/SpeechService.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseMicrophoneConsent.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PanelWindowing.h"

#include <QProcess>
#include <QString>

#include <memory>

namespace sonarel::testing {

// The shortcut workflow assembled from the real parts, as the application assembles it: X11
// desktop services and hot key, the microphone through PulseAudio, the HUD, the coordinator,
// and the engine with the recognizer the caller gives. Preferences live in `carpeta`.
struct Montaje {
    Montaje(SpeechService& speech, const QString& carpeta);

    QtClock clock;
    std::unique_ptr<x11::X11Desktop> desktop;
    std::unique_ptr<x11::X11HotKeyService> teclas;
    PulseConnection pulse;
    PulseAudioInput audio{pulse};
    PulseMicrophoneConsent consentimiento{pulse};
    SpeechEngine motor;
    Preferences preferencias;
    Historial historial{clock};
    Archivador archivador{motor, historial};
    Paster paster;
    HUDEstado estado;
    x11::X11PanelWindowing ventanas;
    HUD hud{motor, estado, clock, ventanas};
    HotKey hotKey;
    Coordinador coordinador;
};

// What the month's history file holds now.
QString historiaDelMes(const Historial& historial, const Clock& clock);

// A WAV file of espeak-ng saying `frase` in Spanish.
QString voz(const QString& carpeta, const QString& frase);
// Plays `archivo` into the test desktop's "vsink", heard by its virtual microphone.
std::unique_ptr<QProcess> reproducir(const QString& archivo);

// An xterm whose shell reads one line and writes it to `salida`, then ends.
QStringList xtermQueLeeUnaLinea(const QString& salida);

}  // namespace sonarel::testing
