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

Aviso avisoDeFallo(const QString& mensaje) {
    const bool deModelos = mensaje.contains(QStringLiteral("sin conexión")) ||
                           mensaje.contains(QStringLiteral("Dictado")) ||
                           mensaje.contains(QStringLiteral("modelo de voz")) ||
                           mensaje.contains(QStringLiteral("Modelos de voz"));
    return {mensaje, deModelos ? Aviso::Enlace::ModelosDeVoz : Aviso::Enlace::Ninguno};
}

Aviso avisoDelMotor(const QString& notice) {
    return {notice, Aviso::Enlace::ModelosDeVoz};
}

Aviso avisoDelPie(const Status& status, const std::optional<Aviso>& propio, const QString& notice,
                  const std::optional<Aviso>& atajo) {
    if (status.isFailed()) {
        return avisoDeFallo(status.message());
    }
    if (propio) {
        return *propio;
    }
    if (!notice.isEmpty()) {
        return avisoDelMotor(notice);
    }
    return atajo.value_or(Aviso{});
}

QString fechaArchivo(const QDateTime& ahora) {
    return ahora.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH.mm"));
}

QString nombreArchivoPropuesto(const QDateTime& ahora) {
    return QStringLiteral("Dictado ") + fechaArchivo(ahora) + QStringLiteral(".txt");
}

}  // namespace sonarel
