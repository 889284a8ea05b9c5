#include "ui/TextosVentana.h"

#include <cmath>

namespace sonarel {

QString textoContador(bool escuchando, double elapsed, int palabras) {
    if (!escuchando) {
        return QStringLiteral("%1 palabras").arg(palabras);
    }
    const long long n = std::isfinite(elapsed) && elapsed > 0 ? static_cast<long long>(elapsed) : 0;
    return QString::asprintf("%02lld:%02lld", n / 60, n % 60);
}

QString mensajeDelPie(const Status& status, const std::optional<QString>& aviso,
                      const QString& notice) {
    if (status.isFailed()) {
        return status.message();
    }
    if (aviso) {
        return *aviso;
    }
    return notice;
}

bool llevaEnlaceAjustes(const QString& mensaje) {
    return mensaje.contains(QStringLiteral("sin conexión")) ||
           mensaje.contains(QStringLiteral("Dictado")) ||
           mensaje.contains(QStringLiteral("modelo de voz")) ||
           mensaje.contains(QStringLiteral("Modelos de voz"));
}

QString fechaArchivo(const QDateTime& ahora) {
    return ahora.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH.mm"));
}

QString nombreArchivoPropuesto(const QDateTime& ahora) {
    return QStringLiteral("Dictado ") + fechaArchivo(ahora) + QStringLiteral(".txt");
}

}  // namespace sonarel
