// The model manager on the test desktop: a first start with no model, through the measurement
// and a download from a server on 127.0.0.1, to a recognizer that transcribes. The pictures land
// in the build folder for a person to look at.
#include "ParakeetTestModel.h"
#include "ServidorDePrueba.h"
#include "WhisperTestSupport.h"
#include "engine/Permissions.h"
#include "modelos/Recomendacion.h"
#include "platform/QtClock.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"
#include "ui/GestorModelos.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <mutex>

namespace sonarel {
namespace {

QByteArray modeloDePrueba() {
    QFile archivo(QStringLiteral(SONAREL_TEST_MODEL));
    return archivo.open(QIODevice::ReadOnly) ? archivo.readAll() : QByteArray();
}

class Gestor : public ::testing::Test {
protected:
    Gestor() { qputenv("no_proxy", "127.0.0.1,localhost"); }

    // The test model as the published tiny, and a base that is only listed.
    QList<ModeloPublicado> catalogoDePrueba() const {
        ModeloPublicado tiny{QStringLiteral("tiny"),
                             QStringLiteral("ggml-tiny.bin"),
                             QStringLiteral("tiny"),
                             contenido.size(),
                             273LL * 1000 * 1000,
                             QCryptographicHash::hash(contenido, QCryptographicHash::Sha1).toHex(),
                             servidor.direccion(),
                             {}};
        ModeloPublicado base = tiny;
        base.nombre = base.tamano = QStringLiteral("base");
        base.archivo = QStringLiteral("ggml-base.bin");
        base.bytes = 142LL << 20;
        base.memoria = 388LL * 1000 * 1000;
        return {tiny, base};
    }

    QImage fotografiar(const QString& nombre) {
        testing::waitUntil([] { return false; }, 0.3);  // let the frame settle
        const QRect marco = gestor.frameGeometry();
        QImage foto = gestor.screen()
                          ->grabWindow(0, marco.x(), marco.y(), marco.width(), marco.height())
                          .toImage();
        QDir().mkpath(QStringLiteral(SONAREL_CAPTURAS));
        foto.save(QDir(QStringLiteral(SONAREL_CAPTURAS)).filePath(nombre + ".png"));
        return foto;
    }

    QString estado(const QString& nombre) const {
        return gestor.lista()->topLevelItem(gestor.fila(nombre))->text(4);
    }

    QByteArray contenido = modeloDePrueba();
    testing::ServidorDePrueba servidor{QStringLiteral("ggml-tiny.bin"), contenido};
    QTemporaryDir home;
    const QString carpeta = home.filePath(QStringLiteral("datos/Sonarel/modelos"));
    whisper::WhisperSpeechService servicio{{{carpeta}, 2}};
    whisper::WhisperSpeechModels modelos{servicio};
    Preferences preferencias{home.filePath(QStringLiteral("Sonarel.conf"))};
    QtClock clock;
    GestorModelos gestor{{modelos,
                          preferencias,
                          clock,
                          {carpeta},
                          catalogoDePrueba(),
                          home.filePath(QStringLiteral("cache/medicion.tsv")),
                          8LL * 1000 * 1000 * 1000}};
};

TEST_F(Gestor, AFirstStartGoesFromNoModelToAWorkingRecognizer) {
    ASSERT_FALSE(servicio.recognizerFor(QStringLiteral("es-MX")));
    EXPECT_FALSE(onDeviceAvailable(servicio, QStringLiteral("es-MX")));
    gestor.mostrar();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gestor));
    EXPECT_TRUE(gestor.textoMedicion()->text().startsWith(QStringLiteral("Midiendo")));
    EXPECT_FALSE(gestor.botonMedir()->isEnabled());

    // Both sizes are measured on random weights: the figures and a recommendation appear.
    ASSERT_TRUE(testing::waitUntil([&] { return gestor.botonMedir()->isEnabled(); }, 120));
    EXPECT_TRUE(gestor.textoMedicion()->text().contains(QStringLiteral("tiny ")))
        << gestor.textoMedicion()->text().toStdString();
    EXPECT_TRUE(gestor.textoRecomendacion()->text().startsWith(QStringLiteral("Recomendado: ")));
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("cache/medicion.tsv"))));
    ASSERT_EQ(gestor.lista()->topLevelItemCount(), 2);
    EXPECT_NE(gestor.lista()->topLevelItem(0)->text(3), QStringLiteral("—"));
    EXPECT_FALSE(fotografiar(QStringLiteral("modelos-medidos")).isNull());

    servidor.pausarEn(contenido.size() / 2);
    gestor.seleccionar(QStringLiteral("tiny"));
    ASSERT_TRUE(gestor.botonDescargar()->isEnabled());
    QTest::mouseClick(gestor.botonDescargar(), Qt::LeftButton);
    // Held at half the file: the bar gets there (49.9 % or 50 %, as the bytes round) and no
    // further.
    // (The bar has its scale once the size is known.)
    const auto mitad = [&] { return gestor.barra()->maximum() / 2; };
    const auto enLaMitad = [&] {
        const QString texto = estado(QStringLiteral("tiny"));
        return mitad() > 0 && gestor.barra()->value() >= mitad() - 1 &&
               (texto == QStringLiteral("Descargando 49 %") ||
                texto == QStringLiteral("Descargando 50 %"));
    };
    ASSERT_TRUE(testing::waitUntil(enLaMitad, 30))
        << gestor.barra()->value() << " " << estado(QStringLiteral("tiny")).toStdString();
    EXPECT_LE(gestor.barra()->value(), mitad());
    EXPECT_TRUE(gestor.barra()->isVisible());
    // The time left appears once the download has a pace, and moves on while the bytes wait.
    EXPECT_TRUE(testing::waitUntil(
        [&] { return gestor.textoProgreso()->text().contains(QStringLiteral(" · quedan ")); }, 10))
        << gestor.textoProgreso()->text().toStdString();
    EXPECT_TRUE(gestor.textoProgreso()->text().contains(QStringLiteral(" de ")));
    EXPECT_FALSE(gestor.botonDescargar()->isEnabled()) << "one download at a time";
    EXPECT_FALSE(fotografiar(QStringLiteral("modelos-descargando")).isNull());

    // Cancelled from the window, it leaves nothing behind; downloaded again, it comes whole.
    QTest::mouseClick(gestor.botonCancelar(), Qt::LeftButton);
    EXPECT_EQ(gestor.textoMensaje()->text(), QStringLiteral("Se canceló la descarga de tiny."));
    EXPECT_FALSE(gestor.barra()->isVisible());
    EXPECT_TRUE(QDir(carpeta).entryList(QDir::Files).isEmpty());
    servidor.seguir();
    QTest::mouseClick(gestor.botonDescargar(), Qt::LeftButton);

    // The first model to arrive is put to work at once, and the choice is kept.
    ASSERT_TRUE(testing::waitUntil(
        [&] { return estado(QStringLiteral("tiny")) == QStringLiteral("En uso"); }, 60));
    const QString ruta = carpeta + QStringLiteral("/ggml-tiny.bin");
    EXPECT_EQ(preferencias.modelo(), ruta);
    EXPECT_EQ(modelos.inUse().path, ruta);
    EXPECT_FALSE(gestor.barra()->isVisible());
    EXPECT_FALSE(gestor.botonUsar()->isEnabled());
    EXPECT_TRUE(gestor.botonBorrar()->isEnabled());
    EXPECT_FALSE(fotografiar(QStringLiteral("modelos-en-uso")).isNull());

    auto reconocedor = servicio.recognizerFor(QStringLiteral("es-MX"));
    ASSERT_TRUE(reconocedor);
    ASSERT_TRUE(reconocedor->isAvailable());
    const QString voz = testing::speechWav(home.path(), QStringLiteral("voz.wav"),
                                           QStringLiteral("hola, esto es una prueba"));
    testing::Collector resultado;
    auto tarea = reconocedor->startTask(reconocedor->makeFileRequest(voz, {}), resultado.handler());
    ASSERT_TRUE(resultado.waitEnded(120));
    const auto ultima = resultado.deliveries().back();
    ASSERT_TRUE(ultima.result);
    EXPECT_FALSE(ultima.result->text.isEmpty());

    EXPECT_TRUE(onDeviceAvailable(servicio, QStringLiteral("es-MX")));

    // Another model put in the folder by hand: "Usar" switches the recognizer to it at once,
    // loading in the background, and the choice is kept.
    const QString otra = carpeta + QStringLiteral("/ggml-base.bin");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SONAREL_TEST_MODEL), otra));
    gestor.mostrar();
    gestor.seleccionar(QStringLiteral("base"));
    EXPECT_EQ(estado(QStringLiteral("base")), QStringLiteral("Instalado"));
    ASSERT_TRUE(gestor.botonUsar()->isEnabled());
    QTest::mouseClick(gestor.botonUsar(), Qt::LeftButton);
    EXPECT_EQ(preferencias.modelo(), otra);
    EXPECT_EQ(servicio.modelState().path, otra);
    ASSERT_TRUE(testing::waitUntil(
        [&] { return estado(QStringLiteral("base")) == QStringLiteral("En uso"); }, 60));
    // tiny stays beside it for the text shown while speaking only where the measurement found
    // base too slow for that (a busy machine): the list says which.
    EXPECT_EQ(estado(QStringLiteral("tiny")), preferencias.modeloParciales() == ruta
                                                  ? QStringLiteral("En uso para el texto en vivo")
                                                  : QStringLiteral("Instalado"));
    EXPECT_EQ(servicio.modelState().state, whisper::ModelLoad::State::ready);
    EXPECT_TRUE(onDeviceAvailable(servicio, QStringLiteral("es-MX")));

    // Deleting the model in use goes back to the folders' own choice: the other one, then none.
    QTest::mouseClick(gestor.botonBorrar(), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(otra));
    EXPECT_EQ(preferencias.modelo(), QString());
    EXPECT_EQ(servicio.modelState().path, ruta);
    gestor.seleccionar(QStringLiteral("tiny"));
    QTest::mouseClick(gestor.botonBorrar(), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(ruta));
    EXPECT_EQ(estado(QStringLiteral("tiny")), QString());
    EXPECT_FALSE(servicio.recognizerFor(QStringLiteral("es-MX")));
    EXPECT_FALSE(onDeviceAvailable(servicio, QStringLiteral("es-MX")));
}

// Parakeet from the manager: its 16-bit file, checked against the SHA-256 the server names, is
// installed in its 4-bit form, listed and put to work; the window says what choosing it means.
TEST_F(Gestor, ParakeetArrivesInItsFourBitFormAndTheWindowSaysItFindsTheLanguageItself) {
    const QString f16 = home.filePath(QStringLiteral("parakeet-f16.bin"));
    ASSERT_TRUE(testing::writeParakeetTestModel(
        f16.toStdString(), testing::ParakeetShape::spanishWords, testing::ParakeetWeights::f16));
    QFile archivo(f16);
    ASSERT_TRUE(archivo.open(QIODevice::ReadOnly));
    const QByteArray publicado = archivo.readAll();
    testing::ServidorDePrueba repositorio{QStringLiteral("parakeet-tdt-0.6b-v3-f16.bin"),
                                          publicado};
    repositorio.sha256 = QCryptographicHash::hash(publicado, QCryptographicHash::Sha256).toHex();
    const ModeloPublicado parakeet{
        QStringLiteral("parakeet-v3"), QStringLiteral("parakeet-tdt-0.6b-v3-q4_0.bin"),
        QStringLiteral("parakeet-v3"), publicado.size(),
        719LL * 1000 * 1000,           {},
        repositorio.direccion(),       QStringLiteral("parakeet-tdt-0.6b-v3-f16.bin")};
    GestorModelos conParakeet{{modelos,
                               preferencias,
                               clock,
                               {carpeta},
                               {parakeet},
                               home.filePath(QStringLiteral("cache/medicion.tsv")),
                               8LL * 1000 * 1000 * 1000}};
    conParakeet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&conParakeet));
    const auto fila = [&] {
        return conParakeet.lista()->topLevelItem(conParakeet.fila("parakeet-v3"));
    };
    const QString espanol = QStringLiteral("no se le puede pedir que escriba en español");
    EXPECT_TRUE(fila()->toolTip(0).contains(espanol));
    QStringList textos;
    for (const QLabel* etiqueta : conParakeet.findChildren<QLabel*>()) {
        textos << etiqueta->text();
    }
    EXPECT_TRUE(textos.join(' ').contains(QStringLiteral("Whisper escribe siempre en español")));

    conParakeet.seleccionar(QStringLiteral("parakeet-v3"));
    ASSERT_TRUE(conParakeet.botonDescargar()->isEnabled());
    QTest::mouseClick(conParakeet.botonDescargar(), Qt::LeftButton);
    ASSERT_TRUE(testing::waitUntil([&] { return fila()->text(4) == QStringLiteral("En uso"); }, 60))
        << fila()->text(4).toStdString() << " " << conParakeet.textoMensaje()->text().toStdString();
    const QString ruta = carpeta + QStringLiteral("/parakeet-tdt-0.6b-v3-q4_0.bin");
    EXPECT_EQ(QDir(carpeta).entryList(QDir::Files),
              QStringList{QStringLiteral("parakeet-tdt-0.6b-v3-q4_0.bin")});
    EXPECT_EQ(whisper::modelKind(ruta), whisper::ModelKind::parakeet);
    EXPECT_EQ(preferencias.modelo(), ruta);
    EXPECT_EQ(servicio.modelState().path, ruta);
    EXPECT_TRUE(conParakeet.textoMensaje()->text().contains(espanol))
        << conParakeet.textoMensaje()->text().toStdString();
}

// On this machine's figures Parakeet keeps up with the utterances but not with the text shown
// while they are spoken: "Usar" on it puts the installed tiny to work for that text, the window
// and the preferences say so, and the choice goes back to none once tiny is deleted.
TEST_F(Gestor, ParakeetInUseTakesTheInstalledTinyForTheTextShownWhileSpeaking) {
    QDir().mkpath(carpeta);
    const QString tiny = carpeta + QStringLiteral("/ggml-tiny.bin");
    const QString parakeet = carpeta + QStringLiteral("/parakeet-tdt-0.6b-v3-q4_0.bin");
    ASSERT_TRUE(QFile::copy(QStringLiteral(SONAREL_TEST_MODEL), tiny));
    ASSERT_TRUE(testing::writeParakeetTestModel(parakeet.toStdString(),
                                                testing::ParakeetShape::spanishWords,
                                                testing::ParakeetWeights::f16));
    // A recognizer that tells which files it loaded.
    std::mutex lock;
    QStringList cargados;
    whisper::WhisperSpeechService::Options opciones{{carpeta}, 2};
    opciones.load = [&](const QString& ruta, int hilos) {
        std::lock_guard guard(lock);
        cargados << ruta;
        return whisper::WhisperSpeechService::defaultLoad(ruta, hilos);
    };
    whisper::WhisperSpeechService reconocedor{opciones};
    whisper::WhisperSpeechModels suyos{reconocedor};
    const auto cargado = [&](const QString& ruta) {
        std::lock_guard guard(lock);
        return cargados.contains(ruta);
    };
    Medicion medicion{suyos.liveThreads(), suyos.liveWindow(), {}};
    medicion.pasos = {{"tiny", 0.05, false}, {"base", 0.122, false}, {"parakeet-v3", 0.409, false}};
    const QString cifras = home.filePath(QStringLiteral("cache/cifras.tsv"));
    ASSERT_TRUE(guardarMedicion(cifras, medicion));
    QList<ModeloPublicado> catalogo = catalogoDePrueba();
    catalogo.append({QStringLiteral("parakeet-v3"),
                     QStringLiteral("parakeet-tdt-0.6b-v3-q4_0.bin"),
                     QStringLiteral("parakeet-v3"),
                     1198LL << 20,
                     719LL * 1000 * 1000,
                     {},
                     servidor.direccion(),
                     QStringLiteral("parakeet-tdt-0.6b-v3-f16.bin")});
    GestorModelos dos{
        {suyos, preferencias, clock, {carpeta}, catalogo, cifras, 8LL * 1000 * 1000 * 1000}};
    dos.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dos));
    const auto columna = [&](const QString& nombre, int c) {
        return dos.lista()->topLevelItem(dos.fila(nombre))->text(c);
    };
    EXPECT_TRUE(columna("parakeet-v3", 0).contains(QStringLiteral("★ recomendado")));
    EXPECT_TRUE(columna("tiny", 0).contains(QStringLiteral("★ texto en vivo")));
    EXPECT_TRUE(dos.textoRecomendacion()->text().contains(QStringLiteral(
        "Mientras hablas, el texto sale de <b>tiny</b>, más rápido, y parakeet-v3 lo corrige")))
        << dos.textoRecomendacion()->text().toStdString();

    dos.seleccionar(QStringLiteral("parakeet-v3"));
    ASSERT_TRUE(dos.botonUsar()->isEnabled());
    QTest::mouseClick(dos.botonUsar(), Qt::LeftButton);
    EXPECT_EQ(preferencias.modelo(), parakeet);
    EXPECT_EQ(preferencias.modeloParciales(), tiny);
    EXPECT_TRUE(testing::waitUntil([&] { return cargado(parakeet) && cargado(tiny); }, 60))
        << cargados.join(' ').toStdString();
    EXPECT_EQ(columna("tiny", 4), QStringLiteral("En uso para el texto en vivo"));
    EXPECT_TRUE(dos.textoMensaje()->text().contains(
        QStringLiteral("con ggml-tiny.bin para el texto que se ve mientras hablas")))
        << dos.textoMensaje()->text().toStdString();

    dos.seleccionar(QStringLiteral("tiny"));
    QTest::mouseClick(dos.botonBorrar(), Qt::LeftButton);
    EXPECT_EQ(preferencias.modeloParciales(), QString());
    EXPECT_EQ(preferencias.modelo(), parakeet);
}

}  // namespace
}  // namespace sonarel
