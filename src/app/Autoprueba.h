#pragma once

#include "platform/AudioInput.h"
#include "platform/SpeechService.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace sonarel {

// The command-line self-test: transcribe one audio file and report it on standard output.
struct PeticionAutoprueba {
    QString ruta;      // as given, unchanged
    QString localeID;  // "es-MX" unless a locale follows the path
};

// Reads `--autoprueba PATH [LOCALE]` from a program's arguments (argument 0 is the program).
// The first "--autoprueba" counts; the argument after it is the path even when it begins with
// "-"; a following argument that begins with "-" is not a locale. Nothing without a path.
std::optional<PeticionAutoprueba> leerAutoprueba(const QStringList& argumentos);

struct ServiciosAutoprueba {
    SpeechService& speech;
    MicrophoneConsent& microphone;
    std::function<void(const QString& linea)> escribirLinea;
    std::function<void(int estado)> terminar;
};

// Runs the self-test beside whatever else the program does. Exit statuses: 0 transcribed,
// 2 speech recognition not allowed, 3 transcription failed. The services must outlive it.
void ejecutarAutoprueba(const PeticionAutoprueba& peticion, ServiciosAutoprueba servicios);

}  // namespace sonarel
