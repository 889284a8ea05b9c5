// The application run as a user runs it: the real binary on the test desktop.
#include <gtest/gtest.h>

#include <QDir>
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
        // A runtime folder of its own, so that the copy started here is the only one.
        entorno.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }

    ~Proceso() override {
        for (QProcess* proceso : procesos) {
            proceso->kill();
            proceso->waitForFinished(5000);
            delete proceso;
        }
    }

    QProcess* lanzar(const QStringList& argumentos) {
        auto* proceso = new QProcess;
        procesos.push_back(proceso);
        proceso->setProcessEnvironment(entorno);
        proceso->start(QStringLiteral(SONAREL_BINARY), argumentos);
        return proceso;
    }

    Salida ejecutar(const QStringList& argumentos, int segundos = 30) {
        QProcess* proceso = lanzar(argumentos);
        Salida salida;
        if (proceso->waitForFinished(segundos * 1000)) {
            salida.estado = proceso->exitCode();
        }
        const QString texto = QString::fromUtf8(proceso->readAllStandardOutput());
        salida.lineas = texto.split(QLatin1Char('\n'));
        if (salida.lineas.last().isEmpty()) {
            salida.lineas.removeLast();
        }
        return salida;
    }

    // The ids of the visible top-level windows titled "Sonarel".
    QStringList ventanasVisibles() {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
                      {"search", "--onlyvisible", "--name", "^Sonarel$"});
        xdotool.waitForFinished(5000);
        return QString::fromUtf8(xdotool.readAllStandardOutput())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    bool esperarVentana(bool visible, double segundos = 10) {
        return sonarel::testing::waitUntil([&] { return ventanasVisibles().isEmpty() != visible; },
                                           segundos);
    }

    QTemporaryDir runtime;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    std::vector<QProcess*> procesos;
};

TEST_F(Proceso, AMissingFileFailsWithItsMessageAndStatusThree) {
    const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav"});
    EXPECT_EQ(salida.estado, 3);
    ASSERT_EQ(salida.lineas.size(), 2) << salida.lineas.join('|').toStdString();
    EXPECT_TRUE(salida.lineas[0] == "sin_conexion_disponible=true" ||
                salida.lineas[0] == "sin_conexion_disponible=false");
    EXPECT_TRUE(salida.lineas[1].startsWith("FALLO: ")) << salida.lineas[1].toStdString();
}

TEST_F(Proceso, WithoutAnyDisplayTheSelfTestStillPrintsAndEnds) {
    entorno.remove(QStringLiteral("DISPLAY"));
    entorno.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav", "es-ES"});
    EXPECT_EQ(salida.estado, 3);
    ASSERT_EQ(salida.lineas.size(), 2) << salida.lineas.join('|').toStdString();
    EXPECT_TRUE(salida.lineas[1].startsWith("FALLO: "));

    // An unreachable display is no display either.
    entorno.insert(QStringLiteral("DISPLAY"), QStringLiteral(":987"));
    EXPECT_EQ(ejecutar({"--autoprueba", "/no/existe/voz.wav"}).estado, 3);
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

    QProcess::execute(QStringLiteral("xdotool"), {"windowactivate", "--sync", ventana});
    QProcess::execute(QStringLiteral("xdotool"), {"key", "ctrl+w"});
    ASSERT_TRUE(esperarVentana(false));
    QThread::msleep(300);
    EXPECT_EQ(primera->state(), QProcess::Running);

    const Salida segunda = ejecutar({}, 10);
    EXPECT_EQ(segunda.estado, 0);
    EXPECT_TRUE(segunda.lineas.isEmpty());
    EXPECT_TRUE(esperarVentana(true));
    EXPECT_EQ(primera->state(), QProcess::Running);
}

TEST_F(Proceso, ASelfTestBesideARunningCopyOnlyRunsTheSelfTest) {
    lanzar({});
    ASSERT_TRUE(esperarVentana(true));
    const Salida salida = ejecutar({"--autoprueba", "/no/existe/voz.wav"});
    EXPECT_EQ(salida.estado, 3);
    EXPECT_EQ(ventanasVisibles().size(), 1);
}

}  // namespace
