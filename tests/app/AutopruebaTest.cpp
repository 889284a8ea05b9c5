#include "app/Autoprueba.h"

#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>

namespace sonarel {
namespace {

std::optional<PeticionAutoprueba> leer(QStringList argumentos) {
    argumentos.prepend(QStringLiteral("/usr/bin/sonarel"));
    return leerAutoprueba(argumentos);
}

TEST(LeerAutoprueba, PathAloneTakesTheDefaultLocale) {
    const auto peticion = leer({"--autoprueba", "voz.wav"});
    ASSERT_TRUE(peticion);
    EXPECT_EQ(peticion->ruta, "voz.wav");
    EXPECT_EQ(peticion->localeID, "es-MX");
}

TEST(LeerAutoprueba, ALocaleAfterThePathIsTakenUnchecked) {
    EXPECT_EQ(leer({"--autoprueba", "voz.wav", "es-ES"})->localeID, "es-ES");
    EXPECT_EQ(leer({"--autoprueba", "voz.wav", "xx-YY", "más"})->localeID, "xx-YY");
}

TEST(LeerAutoprueba, AnArgumentBeginningWithAHyphenIsNoLocale) {
    const auto peticion = leer({"--autoprueba", "voz.wav", "-platform", "offscreen"});
    ASSERT_TRUE(peticion);
    EXPECT_EQ(peticion->localeID, "es-MX");
}

TEST(LeerAutoprueba, ThePathIsTakenUnchangedEvenWithAHyphenOrBlanks) {
    EXPECT_EQ(leer({"--autoprueba", "-raro.wav"})->ruta, "-raro.wav");
    EXPECT_EQ(leer({"--autoprueba", " con espacios .wav "})->ruta, " con espacios .wav ");
}

TEST(LeerAutoprueba, TheFirstOccurrenceCountsAndASecondIsThePath) {
    const auto peticion = leer({"--autoprueba", "--autoprueba", "voz.wav"});
    ASSERT_TRUE(peticion);
    EXPECT_EQ(peticion->ruta, "--autoprueba");
    EXPECT_EQ(peticion->localeID, "voz.wav");
}

TEST(LeerAutoprueba, NoSelfTestWithoutTheSwitchOrWithoutAPath) {
    EXPECT_FALSE(leer({}));
    EXPECT_FALSE(leer({"voz.wav"}));
    EXPECT_FALSE(leer({"voz.wav", "--autoprueba"}));
    EXPECT_FALSE(leer({"--AUTOPRUEBA", "voz.wav"}));
    EXPECT_FALSE(leer({"--autoprueba=voz.wav"}));
    // Argument 0 is the program, never the switch.
    EXPECT_FALSE(leerAutoprueba({"--autoprueba", "voz.wav"}));
}

class Autoprueba : public ::testing::Test {
protected:
    // Runs the self-test until it ends; the transcription answers `resultado`.
    void ejecutar(const PeticionAutoprueba& peticion, Transcripcion resultado) {
        ejecutarAutoprueba(peticion, {speech, microphone,
                                      [this, resultado](const QString& ruta, const QString& locale,
                                                        std::function<void(Transcripcion)> hecho) {
                                          rutaPedida = ruta;
                                          localePedido = locale;
                                          hecho(resultado);
                                      },
                                      [this](const QString& linea) { lineas << linea; },
                                      [this](int codigo) { estado = codigo; }});
        ASSERT_TRUE(testing::waitUntil([this] { return estado.has_value(); }));
    }

    doubles::ScriptedSpeechService speech;
    doubles::FakeMicrophoneConsent microphone;
    QStringList lineas;
    std::optional<int> estado;
    QString rutaPedida;
    QString localePedido;
};

TEST_F(Autoprueba, SuccessPrintsAvailabilityThenTheTextUnchangedAndEndsWithZero) {
    ejecutar({"voz.wav", "es-ES"}, {true, QStringLiteral(" Hola,\nmundo. ")});
    EXPECT_EQ(lineas,
              (QStringList{"sin_conexion_disponible=true", "TRANSCRIPCION:  Hola,\nmundo. "}));
    EXPECT_EQ(estado, 0);
    EXPECT_EQ(rutaPedida, QDir::current().absoluteFilePath("voz.wav"));
    EXPECT_EQ(localePedido, "es-ES");
}

TEST_F(Autoprueba, FailurePrintsTheMessageAndEndsWithThree) {
    speech.onDeviceSupported = false;
    ejecutar({"/no/existe.wav", "es-MX"}, {false, QStringLiteral("No se pudo leer el archivo")});
    EXPECT_EQ(lineas,
              (QStringList{"sin_conexion_disponible=false", "FALLO: No se pudo leer el archivo"}));
    EXPECT_EQ(estado, 3);
    EXPECT_EQ(rutaPedida, "/no/existe.wav");
}

TEST_F(Autoprueba, ALocaleWithoutRecognizerIsNotAvailableOffline) {
    speech.localesWithoutRecognizer << QStringLiteral("xx-YY");
    ejecutar({"voz.wav", "xx-YY"}, {false, QStringLiteral("sin reconocedor")});
    EXPECT_EQ(lineas.value(0), "sin_conexion_disponible=false");
}

TEST_F(Autoprueba, DeniedSpeechRecognitionPrintsOneLineAndEndsWithTwo) {
    speech.authorization = SpeechAuthorization::Denied;
    microphone.granted = true;
    ejecutar({"voz.wav", "es-MX"}, {true, QStringLiteral("nunca")});
    EXPECT_EQ(lineas, QStringList{"FALLO: sin permiso de Reconocimiento de voz"});
    EXPECT_EQ(estado, 2);
    EXPECT_TRUE(rutaPedida.isEmpty());
}

TEST_F(Autoprueba, ADeniedMicrophoneDoesNotMatter) {
    microphone.granted = false;
    ejecutar({"voz.wav", "es-MX"}, {true, QStringLiteral("hola")});
    EXPECT_EQ(estado, 0);
}

}  // namespace
}  // namespace sonarel
