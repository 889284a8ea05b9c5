#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace sonarel {

// One model that a model repository publishes.
struct ModeloPublicado {
    QString nombre;   // "base-q5_1", "parakeet-v3"
    QString archivo;  // the file installed: "ggml-base-q5_1.bin", "parakeet-tdt-0.6b-v3-q4_0.bin"
    // The shape it has: "tiny", "base", "small", "medium", "large-v3-turbo", "parakeet-v3".
    QString tamano;
    qint64 bytes = 0;    // of the file downloaded, as published
    qint64 memoria = 0;  // while it runs
    // Hexadecimal, lower case. Empty: the repository gives the file's SHA-256 with it.
    QByteArray sha1;
    QUrl direccion;  // of the file downloaded
    // The file published, when the one installed is its 4-bit form made here (Parakeet's, whose
    // repository publishes it in 16 bits); empty for a file installed as published.
    QString original;

    bool cuantizado() const { return nombre != tamano; }
};

// The published models from the least to the most accurate, as a catalogue file lists them;
// none when the text is not such a file. Each row's file is in the repository of the last
// "direccion" line before it.
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

// Parakeet TDT model files ("parakeet-tdt-0.6b-v3-q4_0.bin").
bool esParakeet(const QString& archivo);
// What choosing one means, as the manager says it.
inline const QString kSobreParakeet = QStringLiteral(
    "Parakeet escribe la puntuación y las mayúsculas, con dos o tres veces menos errores que "
    "whisper small, pero reconoce el idioma por sí mismo: no se le puede pedir que escriba en "
    "español. Whisper escribe siempre en español.");

}  // namespace sonarel
