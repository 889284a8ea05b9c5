// The application run as a user runs it: the real binary on the test desktop.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "support/EventLoop.h"

namespace {

struct Salida {
    int estado = -1;
    QStringList lineas;
};

class Proceso : public ::testing::Test {
protected:
    Proceso() {
        // A runtime folder of its own, so that the copy started here is the only one; a data
        // folder with the generated model in it.
        entorno.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        entorno.insert(QStringLiteral("XDG_DATA_HOME"), datos.path());
        const QString modelos = QDir(datos.path()).filePath(QStringLiteral("Sonarel/modelos"));
        QDir().mkpath(modelos);
        QFile::link(QStringLiteral(SONAREL_TEST_MODEL),
                    QDir(modelos).filePath(QStringLiteral("ggml-tiny-test.bin")));
    }

    ~Proceso() override {
        for (QProcess* proceso : procesos) {
            proceso->kill();
            proceso->waitForFinished(5000);
            delete proceso;
        }
    }

    QProcess* lanzar(const QStringList& argumentos, const QString& carpeta = {}) {
        auto* proceso = new QProcess;
        procesos.push_back(proceso);
        proceso->setProcessEnvironment(entorno);
        proceso->setWorkingDirectory(carpeta);
        proceso->start(QStringLiteral(SONAREL_BINARY), argumentos);
        return proceso;
    }

    // The exit status (-1 if still running after `segundos`) and the printed lines, the one
    // after the last line break included.
    Salida ejecutar(const QStringList& argumentos, int segundos = 30, const QString& carpeta = {}) {
        QProcess* proceso = lanzar(argumentos, carpeta);
        const bool acabado = proceso->waitForFinished(segundos * 1000);
        return {acabado ? proceso->exitCode() : -1,
                QString::fromUtf8(proceso->readAllStandardOutput()).split('\n')};
    }

    // The ids of the visible top-level windows titled "Sonarel".
    static QStringList ventanasVisibles() {
        return xdotool({"search", "--onlyvisible", "--name", "^Sonarel$"})
            .split('\n', Qt::SkipEmptyParts);
    }
    static QString xdotool(const QStringList& argumentos) {
        QProcess proceso;
        proceso.start(QStringLiteral("xdotool"), argumentos);
        proceso.waitForFinished(5000);
        return QString::fromUtf8(proceso.readAllStandardOutput()).trimmed();
    }

    bool esperarVentana(bool visible, double segundos = 10) {
        return sonarel::testing::waitUntil([&] { return ventanasVisibles().isEmpty() != visible; },
                                           segundos);
    }

    QTemporaryDir runtime;
    QTemporaryDir datos;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    std::vector<QProcess*> procesos;
};

TEST_F(Proceso, ASpokenFileIsTranscribedWithStatusZero) {
    const QString wav = QDir(datos.path()).filePath(QStringLiteral("voz.wav"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("espeak-ng"),
                                {"-v", "es", "-w", wav, "Hola, esto es una prueba."}),
              0);
    // Relative to the working directory, and with an explicit locale.
    const Salida salida = ejecutar({"--autoprueba", "voz.wav", "es-ES"}, 60, datos.path());
    EXPECT_EQ(salida.estado, 0);
    ASSERT_EQ(salida.lineas.size(), 3) << salida.lineas.join('|').toStdString();
    EXPECT_EQ(salida.lineas[0], "sin_conexion_disponible=true");
    // The generated model's words mean nothing; that the line is there is what counts.
    EXPECT_TRUE(salida.lineas[1].startsWith("TRANSCRIPCION: ")) << salida.lineas[1].toStdString();
    EXPECT_EQ(salida.lineas[2], "");
}

TEST_F(Proceso, RestartsItselfOnceSoThatRecognizerThreadsWaitSleeping) {
    entorno.remove(QStringLiteral("OMP_WAIT_POLICY"));
    QProcess* proceso = lanzar({});
    ASSERT_TRUE(esperarVentana(true));
    // The same process, now running with the policy in its environment.
    QFile environ(QStringLiteral("/proc/%1/environ").arg(proceso->processId()));
    ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
    EXPECT_TRUE(environ.readAll().split('\0').contains("OMP_WAIT_POLICY=passive"));
}

TEST_F(Proceso, AMissingFileFailsWithStatusThreeWithOrWithoutADisplay) {
    // With the test desktop, with no display at all, and with one that cannot be reached.
    for (const QByteArray& display : {qgetenv("DISPLAY"), QByteArray(), QByteArray(":987")}) {
        SCOPED_TRACE(display.toStdString());
        entorno.remove(QStringLiteral("WAYLAND_DISPLAY"));
        entorno.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        if (display.isEmpty()) {
            entorno.remove(QStringLiteral("DISPLAY"));
        }
        const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav"});
        EXPECT_EQ(salida.estado, 3);
        ASSERT_EQ(salida.lineas.size(), 3) << salida.lineas.join('|').toStdString();
        EXPECT_EQ(salida.lineas[0], "sin_conexion_disponible=true");
        EXPECT_TRUE(salida.lineas[1].startsWith("FALLO: ")) << salida.lineas[1].toStdString();
        EXPECT_EQ(salida.lineas[2], "");
    }
}

TEST_F(Proceso, WithoutAnyDisplayTheApplicationSaysSoAndEndsWithStatusFour) {
    entorno.remove(QStringLiteral("DISPLAY"));
    entorno.remove(QStringLiteral("WAYLAND_DISPLAY"));
    entorno.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess* proceso = lanzar({});
    ASSERT_TRUE(proceso->waitForFinished(30000));
    EXPECT_EQ(proceso->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proceso->exitCode(), 4);
    EXPECT_TRUE(QString::fromUtf8(proceso->readAllStandardError())
                    .contains(QStringLiteral("Sonarel necesita un escritorio")));
}

TEST_F(Proceso, WithoutAModelTheLocaleHasNoRecognizer) {
    entorno.insert(QStringLiteral("XDG_DATA_HOME"), runtime.path());
    entorno.insert(QStringLiteral("XDG_DATA_DIRS"), runtime.path());
    const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav", "es-CL"});
    EXPECT_EQ(salida.estado, 3);
    EXPECT_EQ(salida.lineas, (QStringList{"sin_conexion_disponible=false",
                                          "FALLO: No hay reconocedor para es-CL", ""}));
}

TEST_F(Proceso, AFirstStartWithoutAModelOpensTheModelManager) {
    entorno.insert(QStringLiteral("XDG_DATA_HOME"), runtime.path());
    entorno.insert(QStringLiteral("XDG_DATA_DIRS"), runtime.path());
    entorno.insert(QStringLiteral("XDG_CACHE_HOME"), runtime.path());
    lanzar({});
    EXPECT_TRUE(sonarel::testing::waitUntil(
        [] {
            return !xdotool({"search", "--onlyvisible", "--name", "^Modelos de voz$"}).isEmpty();
        },
        10));
    EXPECT_TRUE(esperarVentana(true));
}

TEST_F(Proceso, TheSwitchAsLastArgumentIsANormalStartThatPrintsNothing) {
    QProcess* proceso = lanzar({"--autoprueba"});
    ASSERT_TRUE(esperarVentana(true));
    EXPECT_EQ(proceso->state(), QProcess::Running);
    EXPECT_TRUE(proceso->readAllStandardOutput().isEmpty());
}

TEST_F(Proceso, ClosingTheWindowKeepsRunningAndASecondStartShowsItAgain) {
    QProcess* primera = lanzar({});
    ASSERT_TRUE(esperarVentana(true));
    const QString ventana = ventanasVisibles().constFirst();

    xdotool({"windowactivate", "--sync", ventana});
    xdotool({"key", "ctrl+w"});
    ASSERT_TRUE(esperarVentana(false));
    QThread::msleep(300);
    EXPECT_EQ(primera->state(), QProcess::Running);

    const Salida segunda = ejecutar({}, 10);
    EXPECT_EQ(segunda.estado, 0);
    EXPECT_EQ(segunda.lineas, QStringList{""});
    ASSERT_TRUE(esperarVentana(true));
    EXPECT_EQ(primera->state(), QProcess::Running);
    // In front, with the keyboard.
    EXPECT_TRUE(sonarel::testing::waitUntil(
        [&] { return ventanasVisibles().contains(xdotool({"getactivewindow"})); }));
}

TEST_F(Proceso, ASelfTestBesideARunningCopyOnlyRunsTheSelfTest) {
    lanzar({});
    ASSERT_TRUE(esperarVentana(true));
    const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav"});
    EXPECT_EQ(salida.estado, 3);
    EXPECT_EQ(ventanasVisibles().size(), 1);
}

}  // namespace
