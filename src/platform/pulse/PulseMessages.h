#pragma once

#include <QString>

// What the microphone tells the user when it cannot record; the engine shows each after
// "No se pudo abrir el micrófono: ".
namespace sonarel::pulse {

inline const QString kNoServer =
    QStringLiteral("No hay ningún servidor de sonido en marcha (PulseAudio o PipeWire).");
inline const QString kServerSilent = QStringLiteral("El servidor de sonido no responde.");
inline const QString kRecordingRefused =
    QStringLiteral("El servidor de sonido no permite grabar a Sonarel.");
inline const QString kNoSource = QStringLiteral("No hay ninguna entrada de audio.");
inline const QString kSourceLost = QStringLiteral("La entrada de audio dejó de estar disponible.");
inline const QString kServerLost =
    QStringLiteral("Se perdió la conexión con el servidor de sonido.");

// Whether a libpulse error code means that the server refused us rather than failed.
bool isRefusal(int error);

// For a connection that could not be made, from its libpulse error code.
QString describeConnectionFailure(int error);

// For a recording stream that the server did not accept, from its libpulse error code.
QString describeStreamFailure(int error);

}  // namespace sonarel::pulse
