#pragma once

#include "support/Xdotool.h"

#include <QFile>
#include <QString>

namespace sonarel::testing {

// A whole file as text; empty when it cannot be read (not written yet).
inline QString leer(const QString& ruta) {
    QFile archivo(ruta);
    return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll()) : QString();
}

// How many recordings the sound server has open: one while a dictation listens.
inline int grabaciones() {
    return ejecutar("pactl", {"list", "short", "source-outputs"})
        .split('\n', Qt::SkipEmptyParts)
        .size();
}

}  // namespace sonarel::testing
