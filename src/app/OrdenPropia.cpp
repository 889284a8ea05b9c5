#include "app/OrdenPropia.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace sonarel {

QString ordenPropia(const QString& opcion) {
    const QString propio = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString enElPath = QStandardPaths::findExecutable(QStringLiteral("sonarel"));
    const QString programa =
        !enElPath.isEmpty() && QFileInfo(enElPath).canonicalFilePath() == propio
            ? QStringLiteral("sonarel")
            : QLatin1Char('"') + propio + QLatin1Char('"');
    return programa + QLatin1Char(' ') + opcion;
}

}  // namespace sonarel
