// The main window on the test desktop's real X server, photographed idle, listening and failed.
// The pictures land in the build folder for a person to look at.
#include "app/VentanaPrincipal.h"

#include "ui/EntornoVentana.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

namespace sonarel {
namespace {

class Capturas : public ::testing::Test, public testing::EntornoVentana {
protected:
    Capturas()
        : ventana(
              motor, servicios(), [] {}, [] {}) {
        // The picture shows the level of what is heard, which the start sound's hush would keep
        // down.
        preferencias.set(QString::fromLatin1(Preferences::kSonidos), false);
        ventana.mostrar();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&ventana));
    }

    // Photographs the window with its frame and answers the picture.
    QImage fotografiar(const QString& nombre) {
        testing::waitUntil([] { return false; }, 0.3);  // let the frame and the chip settle
        const QRect marco = ventana.frameGeometry();
        QImage foto = ventana.screen()
                          ->grabWindow(0, marco.x(), marco.y(), marco.width(), marco.height())
                          .toImage();
        QDir().mkpath(QStringLiteral(SONAREL_CAPTURAS));
        foto.save(QDir(QStringLiteral(SONAREL_CAPTURAS)).filePath(nombre + ".png"));
        return foto;
    }

    VentanaPrincipal ventana;
};

TEST_F(Capturas, IdleListeningAndFailed) {
    EXPECT_EQ(ventana.centralWidget()->minimumSize(), QSize(700, 460));
    EXPECT_FALSE(fotografiar(QStringLiteral("principal-listo")).isNull());

    ASSERT_TRUE(escuchar());
    speech.deliverToLatest(RecognitionResult{
        QStringLiteral("Hola, esto es una prueba del dictado en español."), false});
    ASSERT_TRUE(testing::waitUntil([&] { return !motor.text().isEmpty(); }));
    clock.advance(75);
    audio.pushConstant(0.3f);
    testing::drainPosted();
    EXPECT_FALSE(fotografiar(QStringLiteral("principal-escuchando")).isNull());
    motor.stop();
    ASSERT_TRUE(testing::waitUntil([&] { return !motor.isListening(); }));

    speech.localesWithoutRecognizer << QStringLiteral("es-MX");
    motor.start();
    ASSERT_TRUE(testing::waitUntil([&] { return motor.status().isFailed(); }));
    EXPECT_FALSE(fotografiar(QStringLiteral("principal-fallo")).isNull());
}

}  // namespace
}  // namespace sonarel
