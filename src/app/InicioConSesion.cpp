#include "app/InicioConSesion.h"

#include "app/OrdenPropia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace sonarel::inicio_con_sesion {

QString rutaDeLaEntrada() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/sonarel.desktop");
}

bool activo() {
    return QFileInfo::exists(rutaDeLaEntrada());
}

QString ordenOculta() {
    return ordenPropia(QStringLiteral("--oculto"));
}

std::optional<QString> activar(bool activo) {
    const QString ruta = rutaDeLaEntrada();
    if (!activo) {
        if (QFile::exists(ruta) && !QFile::remove(ruta)) {
            return QStringLiteral("No se pudo quitar %1.").arg(ruta);
        }
        return std::nullopt;
    }
    QSaveFile archivo(ruta);
    if (!QDir().mkpath(QFileInfo(ruta).path()) || !archivo.open(QIODevice::WriteOnly)) {
        return QStringLiteral("No se pudo escribir %1.").arg(ruta);
    }
    const QString entrada = QStringLiteral(
                                "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=Sonarel\n"
                                "Comment=Dictado por voz en cualquier aplicación\n"
                                "Icon=sonarel\n"
                                "Exec=%1\n"
                                "Terminal=false\n"
                                "X-GNOME-Autostart-enabled=true\n")
                                .arg(ordenOculta());
    archivo.write(entrada.toUtf8());
    if (!archivo.commit()) {
        return QStringLiteral("No se pudo escribir %1.").arg(ruta);
    }
    return std::nullopt;
}

}  // namespace sonarel::inicio_con_sesion
