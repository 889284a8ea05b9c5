// descarga_bench [MB]: a model downloaded over loopback from a local server, as the model
// manager downloads it (a .part file, then the SHA-1 check, then the rename): throughput and the
// time the check takes. Default: the tiny test model (75 MB); with MB, that many random bytes.
#include "ServidorDePrueba.h"
#include "modelos/DescargaModelo.h"
#include "platform/QtClock.h"
#include "platform/whisper/ParakeetQuantize.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

using namespace sonarel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qputenv("no_proxy", "127.0.0.1");
    QByteArray contenido;
    if (argc > 1) {
        contenido.resize(qsizetype(std::atoll(argv[1])) * 1000 * 1000);
        std::mt19937 azar(1);
        for (char& b : contenido) {
            b = char(azar());
        }
    } else {
        QFile modelo(QStringLiteral(SONAREL_TEST_MODEL));
        modelo.open(QIODevice::ReadOnly);
        contenido = modelo.readAll();
    }
    testing::ServidorDePrueba servidor(QStringLiteral("ggml-bench.bin"), contenido);
    ModeloPublicado modelo;
    modelo.nombre = modelo.tamano = QStringLiteral("bench");
    modelo.archivo = QStringLiteral("ggml-bench.bin");
    modelo.sha1 = QCryptographicHash::hash(contenido, QCryptographicHash::Sha1).toHex();
    modelo.direccion = servidor.direccion();

    QTemporaryDir carpeta;
    QtClock clock;
    DescargaModelo descarga(carpeta.path(), clock, whisper::quantizeParakeet);
    QElapsedTimer reloj;
    double descargado = 0;
    QObject::connect(&descarga, &DescargaModelo::comprobando,
                     [&] { descargado = reloj.nsecsElapsed() / 1e9; });
    QObject::connect(&descarga, &DescargaModelo::instalado, [&] {
        const double total = reloj.nsecsElapsed() / 1e9;
        const double mb = contenido.size() / 1e6;
        std::printf(
            "%.1f MB over loopback: download %.2f s (%.0f MB/s), SHA-1 check %.2f s "
            "(%.0f MB/s), %.2f s in all\n",
            mb, descargado, mb / descargado, total - descargado, mb / (total - descargado), total);
        app.exit(0);
    });
    QObject::connect(&descarga, &DescargaModelo::fallida, [&](const QString& mensaje) {
        std::fprintf(stderr, "%s\n", qPrintable(mensaje));
        app.exit(1);
    });
    reloj.start();
    descarga.descargar(modelo);
    return app.exec();
}
