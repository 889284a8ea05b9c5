#include "app/Autoprueba.h"

#include "engine/FileTranscription.h"
#include "engine/Permissions.h"

#include <QDir>

namespace sonarel {

std::optional<PeticionAutoprueba> leerAutoprueba(const QStringList& argumentos) {
    const qsizetype interruptor = argumentos.indexOf(QStringLiteral("--autoprueba"), 1);
    if (interruptor < 0 || interruptor + 1 >= argumentos.size()) {
        return std::nullopt;
    }
    PeticionAutoprueba peticion{argumentos[interruptor + 1], QStringLiteral("es-MX")};
    if (interruptor + 2 < argumentos.size() &&
        !argumentos[interruptor + 2].startsWith(QLatin1Char('-'))) {
        peticion.localeID = argumentos[interruptor + 2];
    }
    return peticion;
}

void ejecutarAutoprueba(const PeticionAutoprueba& peticion, ServiciosAutoprueba servicios) {
    requestPermissions(
        servicios.speech, servicios.microphone, [peticion, servicios](PermissionAnswer respuesta) {
            if (!respuesta.speech) {
                servicios.escribirLinea(
                    QStringLiteral("FALLO: sin permiso de Reconocimiento de voz"));
                servicios.terminar(2);
                return;
            }
            const bool sinConexion = onDeviceAvailable(servicios.speech, peticion.localeID);
            servicios.escribirLinea(
                QStringLiteral("sin_conexion_disponible=") +
                (sinConexion ? QStringLiteral("true") : QStringLiteral("false")));
            // A relative path is taken from the working directory.
            const QString ruta = QDir::current().absoluteFilePath(peticion.ruta);
            transcribirArchivo(
                servicios.speech, ruta, peticion.localeID,
                [servicios](const TranscriptionOutcome& resultado) {
                    if (const auto* texto = std::get_if<QString>(&resultado)) {
                        servicios.escribirLinea(QStringLiteral("TRANSCRIPCION: ") + *texto);
                        servicios.terminar(0);
                    } else {
                        servicios.escribirLinea(QStringLiteral("FALLO: ") +
                                                std::get<FalloVoz>(resultado).mensaje);
                        servicios.terminar(3);
                    }
                });
        });
}

}  // namespace sonarel
