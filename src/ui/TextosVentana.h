#pragma once

#include "engine/Status.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace sonarel {

// Texts the main window derives from the engine's state and the clock.

inline const QString kAvisoTerminalSinPermiso = QStringLiteral(
    "Para escribir en la terminal, el escritorio tiene que dejar que Sonarel simule el teclado. "
    "El texto ya quedó en el portapapeles.");
inline const QString kAvisoSinTerminal =
    QStringLiteral("No encontré ninguna terminal abierta. El texto quedó en el portapapeles.");
inline const QString kAvisoPegarSinPermiso = QStringLiteral(
    "Para pegar en otras apps, el escritorio tiene que dejar que Sonarel simule el teclado. El "
    "texto ya quedó en el portapapeles.");
inline const QString kAvisoSinAppAnterior = QStringLiteral(
    "No encontré la app anterior: no hay ninguna o ya se cerró. El texto quedó en el "
    "portapapeles.");

// "%02d:%02d" of the elapsed whole seconds while listening, otherwise "N palabras".
QString textoContador(bool escuchando, double elapsed, int palabras);

// The footer's notice: a failure first, then the window's own notice, then the engine's.
// Empty when there is none.
QString mensajeDelPie(const Status& status, const std::optional<QString>& aviso,
                      const QString& notice);

// Whether a notice is about offline dictation or the speech model, and so carries the link to
// the model manager.
bool llevaEnlaceAjustes(const QString& mensaje);

// "yyyy-MM-dd HH.mm" of the local time, and the file name proposed when saving.
QString fechaArchivo(const QDateTime& ahora);
QString nombreArchivoPropuesto(const QDateTime& ahora);

}  // namespace sonarel
