#include "modelos/CatalogoModelos.h"

#include <QDir>
#include <QFile>

static void iniciarRecursoModelos() {
    Q_INIT_RESOURCE(modelos);
}

namespace sonarel {

QList<ModeloPublicado> leerCatalogo(const QByteArray& texto) {
    QList<ModeloPublicado> modelos;
    QUrl direccion;
    for (const QByteArray& linea : texto.split('\n')) {
        if (linea.isEmpty() || linea.startsWith('#')) {
            continue;
        }
        const QList<QByteArray> campos = linea.trimmed().split('\t');
        if (campos.size() == 2 && campos[0] == "direccion") {
            direccion = QUrl(QString::fromUtf8(campos[1]));
            continue;
        }
        bool mibBien = false;
        bool memoriaBien = false;
        if ((campos.size() != 6 && campos.size() != 7) || !direccion.isValid()) {
            return {};
        }
        ModeloPublicado modelo;
        modelo.nombre = QString::fromUtf8(campos[0]);
        modelo.archivo = QString::fromUtf8(campos[1]);
        modelo.tamano = QString::fromUtf8(campos[2]);
        modelo.bytes = campos[3].toLongLong(&mibBien) << 20;
        modelo.memoria = campos[4].toLongLong(&memoriaBien) * 1000 * 1000;
        // "sha256": the repository gives it with the file.
        const bool sumaDelServidor = campos[5] == "sha256";
        modelo.sha1 = sumaDelServidor ? QByteArray() : campos[5].toLower();
        modelo.original = QString::fromUtf8(campos.value(6));
        const QString publicado = modelo.original.isEmpty() ? modelo.archivo : modelo.original;
        modelo.direccion = QUrl(direccion.toString() + QLatin1Char('/') + publicado);
        if (!mibBien || !memoriaBien || (!sumaDelServidor && modelo.sha1.size() != 40) ||
            modelo.archivo.contains('/') || publicado.contains('/')) {
            return {};
        }
        modelos.append(modelo);
    }
    return modelos;
}

const QList<ModeloPublicado>& catalogoPublicado() {
    static const QList<ModeloPublicado> catalogo = [] {
        iniciarRecursoModelos();
        QFile archivo(QStringLiteral(":/sonarel/modelos.tsv"));
        return archivo.open(QIODevice::ReadOnly) ? leerCatalogo(archivo.readAll())
                                                 : QList<ModeloPublicado>();
    }();
    return catalogo;
}

QList<ModeloInstalado> modelosInstalados(const QStringList& carpetas) {
    QList<ModeloInstalado> modelos;
    for (qsizetype i = 0; i < carpetas.size(); ++i) {
        const QDir carpeta(carpetas[i]);
        for (const QString& nombre :
             carpeta.entryList({QStringLiteral("ggml-*.bin"), QStringLiteral("parakeet-*.bin")},
                               QDir::Files, QDir::Name)) {
            if (!nombre.contains(QLatin1String(".en"))) {
                modelos.append({carpeta.filePath(nombre), i == 0});
            }
        }
    }
    return modelos;
}

bool esParakeet(const QString& archivo) {
    return archivo.startsWith(QLatin1String("parakeet-")) &&
           archivo.endsWith(QLatin1String(".bin"));
}

}  // namespace sonarel
