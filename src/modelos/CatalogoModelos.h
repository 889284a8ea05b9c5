#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace sonarel {

// One model file that the model repository publishes.
struct ModeloPublicado {
    QString nombre;      // "base-q5_1"
    QString archivo;     // "ggml-base-q5_1.bin"
    QString tamano;      // the shape it has: "tiny", "base", "small", "medium", "large-v3-turbo"
    qint64 bytes = 0;    // on disk, as published
    qint64 memoria = 0;  // while it runs
    QByteArray sha1;     // hexadecimal, lower case
    QUrl direccion;

    bool cuantizado() const { return nombre != tamano; }
};

// The published models from the least to the most accurate, as a catalogue file lists them;
// none when the text is not such a file.
QList<ModeloPublicado> leerCatalogo(const QByteArray& texto);
// The catalogue built into the program (src/modelos/modelos.tsv).
const QList<ModeloPublicado>& catalogoPublicado();

// A model file found in a model folder.
struct ModeloInstalado {
    QString ruta;
    bool delUsuario = false;  // in the user's own folder, which the user may change
};

// The multilingual ggml whisper models and the Parakeet ones in `carpetas`, the user's first; a
// file name met again in a later folder is listed again, since either may be the one in use.
// Files on their way in (".part") are not models yet; English-only ones (".en") cannot hear
// Spanish.
QList<ModeloInstalado> modelosInstalados(const QStringList& carpetas);

// Parakeet TDT models ("parakeet-tdt-0.6b-v3-q4_0.bin"), installed by scripts/get-model.
bool esParakeet(const QString& archivo);
// What choosing one means, as the manager says it.
inline const QString kSobreParakeet = QStringLiteral(
    "Parakeet escribe la puntuación y las mayúsculas, con dos o tres veces menos errores que "
    "whisper small, pero reconoce el idioma por sí mismo: no se le puede pedir que escriba en "
    "español. Whisper escribe siempre en español.");

}  // namespace sonarel
