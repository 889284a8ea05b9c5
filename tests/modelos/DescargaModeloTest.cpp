// Downloads of models from a server on 127.0.0.1 started by each test: nothing leaves the
// machine.
#include "ParakeetTestModel.h"
#include "ServidorDePrueba.h"
#include "modelos/DescargaModelo.h"
#include "platform/doubles/FakeClock.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetQuantize.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace sonarel::testing {
namespace {

QByteArray bytesAlAzar(qsizetype cuantos) {
    std::mt19937 azar(7);
    QByteArray bytes(cuantos, Qt::Uninitialized);
    for (char& b : bytes) {
        b = char(azar());
    }
    return bytes;
}

QByteArray leer(const QString& ruta) {
    QFile archivo(ruta);
    return archivo.open(QIODevice::ReadOnly) ? archivo.readAll() : QByteArray();
}

class Descarga : public ::testing::Test {
protected:
    static constexpr qsizetype kTamano = 3 * 1024 * 1024 + 123;

    explicit Descarga(QByteArray contenido = bytesAlAzar(kTamano))
        : contenido_(contenido), servidor_(QStringLiteral("ggml-prueba.bin"), contenido) {
        // Whatever proxy the machine names, the test's own server is reached directly.
        qputenv("no_proxy", "127.0.0.1,localhost");
        modelo_.nombre = modelo_.tamano = QStringLiteral("tiny");
        modelo_.archivo = QStringLiteral("ggml-prueba.bin");
        modelo_.sha1 = QCryptographicHash::hash(contenido, QCryptographicHash::Sha1).toHex();
        modelo_.direccion = servidor_.direccion();
        QObject::connect(&descarga_, &DescargaModelo::instalado,
                         [this](const QString& ruta) { instalado_ = ruta; });
        QObject::connect(&descarga_, &DescargaModelo::fallida,
                         [this](const QString& mensaje) { fallo_ = mensaje; });
        QObject::connect(&descarga_, &DescargaModelo::progreso, [this] {
            progresos_.append(descarga_.recibidos());
            totales_.append(descarga_.total());
        });
    }

    bool terminada() {
        return waitUntil([this] { return descarga_.fase() == DescargaModelo::Fase::inactiva; }, 60);
    }
    QString rutaFinal() const { return carpeta_ + QStringLiteral("/ggml-prueba.bin"); }
    QStringList archivos() const { return QDir(carpeta_).entryList(QDir::Files | QDir::System); }

    QByteArray contenido_;
    QTemporaryDir home_;
    QString carpeta_ = home_.filePath(QStringLiteral("Sonarel/modelos"));
    ServidorDePrueba servidor_;
    doubles::FakeClock clock_;
    DescargaModelo descarga_{carpeta_, clock_, whisper::quantizeParakeet};
    ModeloPublicado modelo_;
    QString instalado_;
    QString fallo_;
    QList<qint64> progresos_;
    QList<qint64> totales_;
};

TEST_F(Descarga, ReportsProgressAndInstallsTheCheckedFileWithNothingElseLeft) {
    ASSERT_TRUE(descarga_.descargar(modelo_));
    EXPECT_FALSE(descarga_.descargar(modelo_)) << "one download at a time";
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(instalado_, rutaFinal());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
    EXPECT_EQ(archivos(), QStringList{QStringLiteral("ggml-prueba.bin")});
    ASSERT_GE(progresos_.size(), 2);
    EXPECT_TRUE(std::is_sorted(progresos_.begin(), progresos_.end()));
    EXPECT_EQ(progresos_.back(), kTamano);
    EXPECT_EQ(totales_.back(), kTamano);
}

TEST_F(Descarga, TimeLeftFollowsThePaceOfTheDownload) {
    servidor_.pausarEn(kTamano / 4);
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(waitUntil([&] { return descarga_.recibidos() == kTamano / 4; }, 30));
    EXPECT_FALSE(descarga_.segundosRestantes()) << "no pace yet";
    clock_.advance(10);
    // A quarter in 10 s: three quarters are left, 30 s.
    ASSERT_TRUE(descarga_.segundosRestantes());
    EXPECT_NEAR(*descarga_.segundosRestantes(), 30, 0.01);
    servidor_.seguir();
    ASSERT_TRUE(terminada());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
}

TEST_F(Descarga, AConnectionDroppedMidwayResumesWhereItStopped) {
    servidor_.cortarTras(kTamano / 3);
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
    ASSERT_EQ(servidor_.rangos().size(), 2);
    EXPECT_EQ(servidor_.rangos()[0], QByteArray());
    EXPECT_EQ(servidor_.rangos()[1], "bytes=" + QByteArray::number(kTamano / 3) + "-");
}

TEST_F(Descarga, APartialFileFromAnEarlierRunIsResumedAndAServerWithoutRangesStartsOver) {
    QDir().mkpath(carpeta_);
    {
        QFile parcial(rutaFinal() + QStringLiteral(".part"));
        ASSERT_TRUE(parcial.open(QIODevice::WriteOnly));
        parcial.write(contenido_.left(1000));
    }
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(servidor_.rangos().value(0), "bytes=1000-");
    EXPECT_EQ(leer(rutaFinal()), contenido_);

    QFile::remove(rutaFinal());
    {
        QFile parcial(rutaFinal() + QStringLiteral(".part"));
        ASSERT_TRUE(parcial.open(QIODevice::WriteOnly));
        parcial.write("basura que no es el principio del archivo");
    }
    servidor_.ignorarRangos = true;
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
}

// A 206 for another range than the one asked, with nothing in it: the download starts over
// from the beginning and arrives whole, rather than being checked (and called damaged) empty.
TEST_F(Descarga, AWrongRangeWithAnEmptyBodyStartsOverCleanly) {
    QDir().mkpath(carpeta_);
    {
        QFile parcial(rutaFinal() + QStringLiteral(".part"));
        ASSERT_TRUE(parcial.open(QIODevice::WriteOnly));
        parcial.write(contenido_.left(1000));
    }
    servidor_.rangoEquivocado = true;
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
    EXPECT_EQ(servidor_.rangos(), (QList<QByteArray>{"bytes=1000-", ""}));
}

// No answer at all (here a refused connection, as offline or with no name): said as such, not
// as a status the server never sent.
TEST_F(Descarga, NoConnectionAtAllSaysSo) {
    QTcpServer cerrado;
    ASSERT_TRUE(cerrado.listen(QHostAddress::LocalHost));
    const quint16 puerto = cerrado.serverPort();
    cerrado.close();
    modelo_.direccion = QUrl(QStringLiteral("http://127.0.0.1:%1/ggml-prueba.bin").arg(puerto));
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_TRUE(fallo_.startsWith(QStringLiteral("No se pudo llegar al servidor de modelos (")))
        << fallo_.toStdString();
    EXPECT_FALSE(fallo_.contains(QStringLiteral("respondió")));
}

TEST_F(Descarga, AWrongChecksumIsRejectedAndTheFileRemoved) {
    modelo_.sha1 = QByteArray(40, '0');
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(instalado_, QString());
    EXPECT_TRUE(fallo_.contains(QStringLiteral("no coincide con su suma SHA-1")))
        << fallo_.toStdString();
    EXPECT_TRUE(archivos().isEmpty()) << archivos().join(' ').toStdString();
}

TEST_F(Descarga, CancellingLeavesNothingBehind) {
    servidor_.pausarEn(kTamano / 2);
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(waitUntil([&] { return descarga_.recibidos() == kTamano / 2; }, 30));
    descarga_.cancelar();
    EXPECT_EQ(descarga_.fase(), DescargaModelo::Fase::inactiva);
    servidor_.seguir();
    // A second download of the same file from the same server, started after the first was
    // cancelled and the server let go: once it is installed, anything the first could still
    // have done has had its turn.
    QTemporaryDir otroHome;
    DescargaModelo otra(otroHome.filePath(QStringLiteral("modelos")), clock_,
                        whisper::quantizeParakeet);
    bool otraInstalada = false;
    QObject::connect(&otra, &DescargaModelo::instalado, [&] { otraInstalada = true; });
    ASSERT_TRUE(otra.descargar(modelo_));
    ASSERT_TRUE(waitUntil([&] { return otraInstalada; }, 60));
    EXPECT_TRUE(archivos().isEmpty()) << archivos().join(' ').toStdString();
    EXPECT_EQ(instalado_, QString());
    EXPECT_EQ(fallo_, QString());
}

// A disk that fills up: the partial file is a device that refuses every write for lack of
// space, as a full file system does.
TEST_F(Descarga, AFullDiskSaysSoAndGivesTheSpaceBack) {
    ASSERT_TRUE(QDir().mkpath(carpeta_));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), rutaFinal() + QStringLiteral(".part")));
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_,
              QStringLiteral("El disco se llenó al descargar tiny y se borró lo descargado. Libera "
                             "espacio y vuelve a intentarlo."));
    EXPECT_TRUE(archivos().isEmpty()) << archivos().join(' ').toStdString();
}

// The folder cannot be made (something that is not a folder stands in its way), as happens with
// a folder the user may not write to.
TEST_F(Descarga, AFolderThatCannotBeWrittenSaysSo) {
    ASSERT_TRUE(QDir().mkpath(home_.filePath(QStringLiteral("Sonarel"))));
    {
        QFile estorbo(carpeta_);
        ASSERT_TRUE(estorbo.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QStringLiteral("No se pudo crear la carpeta de modelos %1.").arg(carpeta_));

    // A folder that is there but takes no file (here the partial file's name is taken by a
    // folder, as a folder without write permission refuses it too).
    QFile::remove(carpeta_);
    ASSERT_TRUE(QDir().mkpath(rutaFinal() + QStringLiteral(".part")));
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_TRUE(fallo_.startsWith(
        QStringLiteral("No se puede escribir en la carpeta de modelos %1 (").arg(carpeta_)))
        << fallo_.toStdString();
    EXPECT_TRUE(servidor_.peticiones().isEmpty());
    EXPECT_FALSE(QFile::exists(rutaFinal()));
}

TEST_F(Descarga, AMissingFileOnTheServerSaysSoAndTheSystemProxyIsUsed) {
    modelo_.direccion = QUrl(servidor_.direccion().toString() + QStringLiteral(".no"));
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_TRUE(fallo_.startsWith(QStringLiteral("El servidor de modelos respondió 404")))
        << fallo_.toStdString();

    // Through the proxy the environment names, to an address only the proxy can reach.
    qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(servidor_.puerto()).toUtf8());
    modelo_.direccion = QUrl(QStringLiteral("http://modelos.invalid/modelos/ggml-prueba.bin"));
    fallo_.clear();
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    qunsetenv("http_proxy");
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(leer(rutaFinal()), contenido_);
    EXPECT_EQ(servidor_.peticiones().last(),
              "GET http://modelos.invalid/modelos/ggml-prueba.bin HTTP/1.1");
}

class DescargaDeUnModelo : public Descarga {
protected:
    DescargaDeUnModelo() : Descarga(leer(QStringLiteral(SONAREL_TEST_MODEL))) {}
};

// The recognizer looks in the folder while the model is on its way in: it must find nothing to
// load until the whole file has been checked.
TEST_F(DescargaDeUnModelo, TheRecognizerNeverSeesAPartialFile) {
    ASSERT_GT(contenido_.size(), 1000000);
    whisper::WhisperSpeechService servicio({{carpeta_}, 1});
    servidor_.pausarEn(contenido_.size() - 1000);
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(waitUntil([&] { return descarga_.recibidos() == contenido_.size() - 1000; }, 30));
    EXPECT_FALSE(servicio.recognizerFor(QStringLiteral("es-MX")));
    EXPECT_EQ(servicio.modelState().path, QString());

    servidor_.seguir();
    ASSERT_TRUE(terminada());
    auto reconocedor = servicio.recognizerFor(QStringLiteral("es-MX"));
    ASSERT_TRUE(reconocedor);
    EXPECT_TRUE(reconocedor->isAvailable());
    EXPECT_EQ(servicio.modelState().path, rutaFinal());
}

// A tiny Parakeet model in 16 bits, served as the repository serves the published one: its
// address redirects to where it is stored, naming the file's SHA-256.
QByteArray parakeetDePrueba() {
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("parakeet-f16.bin"));
    return writeParakeetTestModel(ruta.toStdString(), ParakeetShape::spanishWords,
                                  ParakeetWeights::f16)
               ? leer(ruta)
               : QByteArray();
}

class DescargaDeParakeet : public Descarga {
protected:
    DescargaDeParakeet() : Descarga(parakeetDePrueba()) {
        modelo_.nombre = modelo_.tamano = QStringLiteral("parakeet-v3");
        modelo_.archivo = QStringLiteral("parakeet-prueba-q4_0.bin");
        modelo_.original = QStringLiteral("ggml-prueba.bin");
        modelo_.sha1.clear();
        servidor_.sha256 = QCryptographicHash::hash(contenido_, QCryptographicHash::Sha256).toHex();
    }
    QString rutaReducida() const { return carpeta_ + QStringLiteral("/parakeet-prueba-q4_0.bin"); }
};

TEST_F(DescargaDeParakeet, TheFileMatchingTheServedSha256IsReducedToFourBitsAndInstalled) {
    ASSERT_GT(contenido_.size(), 10000);
    QList<DescargaModelo::Fase> fases;
    QObject::connect(&descarga_, &DescargaModelo::reduciendo,
                     [&] { fases.append(descarga_.fase()); });
    // Dropped midway, the download resumes through the redirect with its range.
    servidor_.cortarTras(contenido_.size() / 3);
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(servidor_.rangos().last(),
              "bytes=" + QByteArray::number(contenido_.size() / 3) + '-');
    EXPECT_TRUE(servidor_.peticiones().last().startsWith("GET /lfs/ggml-prueba.bin"));
    EXPECT_EQ(fases, QList{DescargaModelo::Fase::reduciendo});
    EXPECT_EQ(instalado_, rutaReducida());
    EXPECT_EQ(whisper::modelKind(rutaReducida()), whisper::ModelKind::parakeet);
    EXPECT_LT(QFileInfo(rutaReducida()).size(), contenido_.size());
    // The published file goes once its 4-bit form is made, unless asked to stay.
    EXPECT_EQ(archivos(), QStringList{QStringLiteral("parakeet-prueba-q4_0.bin")});
    EXPECT_TRUE(servidor_.peticiones().first().startsWith("HEAD /modelos/ggml-prueba.bin"));

    ASSERT_TRUE(QFile::remove(rutaReducida()));
    ASSERT_TRUE(descarga_.descargar(modelo_, true));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(fallo_, QString());
    EXPECT_EQ(archivos(), QStringList({"ggml-prueba.bin", "parakeet-prueba-q4_0.bin"}));
    EXPECT_EQ(leer(rutaFinal()), contenido_);
}

TEST_F(DescargaDeParakeet, ADamagedFileOrNoSumFromTheServerIsRefused) {
    // What arrives is not what the repository's sum describes.
    servidor_.sha256 = QByteArray(64, 'a');
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_EQ(instalado_, QString());
    EXPECT_EQ(fallo_, QStringLiteral("parakeet-v3 llegó dañado: no coincide con su suma SHA-256 "
                                     "publicada. Se borró; vuelve a descargarlo."));
    EXPECT_TRUE(archivos().isEmpty()) << archivos().join(' ').toStdString();

    // A server that names no sum: nothing is downloaded that could not be checked.
    servidor_.sha256.clear();
    const qsizetype antes = servidor_.peticiones().size();
    ASSERT_TRUE(descarga_.descargar(modelo_));
    ASSERT_TRUE(terminada());
    EXPECT_TRUE(
        fallo_.startsWith(QStringLiteral("El servidor de modelos no dio la suma SHA-256 "
                                         "de parakeet-v3")))
        << fallo_.toStdString();
    EXPECT_EQ(servidor_.peticiones().size(), antes + 1);
    EXPECT_TRUE(servidor_.peticiones().last().startsWith("HEAD "));
    EXPECT_TRUE(archivos().isEmpty()) << archivos().join(' ').toStdString();
}

}  // namespace
}  // namespace sonarel::testing
