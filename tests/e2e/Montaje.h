#pragma once

#include "app/Aplicacion.h"
#include "app/Plataforma.h"
#include "platform/QtClock.h"
#include "platform/SpeechModels.h"
#include "platform/SpeechService.h"

#include <QProcess>
#include <QString>

#include <memory>

namespace sonarel::testing {

// The application as the user runs it, put together by its own composition: the desktop's real
// back ends (X11 on the test desktop) and the microphone through PulseAudio, with the recognizer
// the caller gives. Its home is `casa`: preferences, history and caches live in its XDG folders.
// Started as a launch without the window and without the model offer.
struct Montaje {
    Montaje(std::unique_ptr<SpeechService> speech, std::unique_ptr<SpeechModels> modelos,
            const QString& casa);

    bool enCasa;
    QtClock clock;
    ServiciosDeVoz voz;
    Aplicacion app;
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
