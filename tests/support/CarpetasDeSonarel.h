#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// Sonarel's own folders for a test that runs the real program, inside the test's `dir`; for
// targets that define SONAREL_TEST_MODEL and SONAREL_BINARY.
namespace sonarel::testing {

// The environment that points Sonarel at its folders in `dir`, the test model in place.
inline QProcessEnvironment carpetasDeSonarel(const QTemporaryDir& dir) {
    const QString modelos = dir.filePath("datos/Sonarel/modelos");
    QDir().mkpath(modelos);
    QFile::link(SONAREL_TEST_MODEL, modelos + "/ggml-tiny-test.bin");
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("XDG_DATA_HOME", dir.filePath("datos"));
    entorno.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    return entorno;
}

// One of Sonarel's settings files ("Sonarel.conf", "escritorio.conf") in `dir`, holding `lineas`
// in its general group, before Sonarel starts.
inline void ajustesDeSonarel(const QTemporaryDir& dir, const QString& archivo,
                             const QByteArray& lineas) {
    QDir().mkpath(dir.filePath("config/Sonarel"));
    QFile conf(dir.filePath("config/Sonarel/" + archivo));
    conf.open(QIODevice::WriteOnly);
    conf.write("[General]\n" + lineas);
}

// The shell script a desktop binding runs: `sonarel --alternar` on the folders in `dir`, after
// the shell commands `antes`. Its path.
inline QString ordenAlternar(const QTemporaryDir& dir, const QString& antes = {}) {
    QFile orden(dir.filePath("alternar.sh"));
    orden.open(QIODevice::WriteOnly);
    orden.write((antes + QStringLiteral("exec env XDG_DATA_HOME=%1 XDG_CONFIG_HOME=%2 %3 "
                                        "--alternar\n")
                             .arg(dir.filePath("datos"), dir.filePath("config"), SONAREL_BINARY))
                    .toUtf8());
    return orden.fileName();
}

}  // namespace sonarel::testing
