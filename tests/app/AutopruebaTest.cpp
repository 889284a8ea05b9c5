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

TEST(LeerAutoprueba, PathThenAnOptionalLocaleAfterTheSwitch) {
    struct Caso {
        QStringList argumentos;
        QString ruta;
        QString locale;
    };
    const Caso casos[] = {
        {{"--autoprueba", "voz.wav"}, "voz.wav", "es-MX"},
        {{"--autoprueba", "voz.wav", "xx-YY", "más"}, "voz.wav", "xx-YY"},
        {{"--autoprueba", "voz.wav", "-platform", "offscreen"}, "voz.wav", "es-MX"},
        {{"--autoprueba", "-raro.wav"}, "-raro.wav", "es-MX"},
        {{"--autoprueba", " con espacios .wav "}, " con espacios .wav ", "es-MX"},
        {{"--autoprueba", "--autoprueba", "voz.wav"}, "--autoprueba", "voz.wav"},
    };
    for (const Caso& caso : casos) {
        const auto peticion = leer(caso.argumentos);
        ASSERT_TRUE(peticion) << caso.argumentos.join(' ').toStdString();
        EXPECT_EQ(peticion->ruta, caso.ruta);
        EXPECT_EQ(peticion->localeID, caso.locale);
    }
    for (const QStringList& sin :
         {QStringList{}, QStringList{"voz.wav", "--autoprueba"},
          QStringList{"--AUTOPRUEBA", "voz.wav"}, QStringList{"--autoprueba=voz.wav"}}) {
        EXPECT_FALSE(leer(sin)) << sin.join(' ').toStdString();
    }
    // Argument 0 is the program, never the switch.
    EXPECT_FALSE(leerAutoprueba({"--autoprueba", "voz.wav"}));
}

class Autoprueba : public ::testing::Test {
protected:
    // Starts the self-test; it ends when the scripted recognizer answers.
    void empezar(const PeticionAutoprueba& peticion) {
        ejecutarAutoprueba(peticion,
                           {speech, microphone, [this](const QString& linea) { lineas << linea; },
                            [this](int codigo) { estado = codigo; }});
    }

    // Waits for the file task, and answers the file it reads.
    QString tareaDeArchivo() {
        if (!testing::waitUntil([this] { return !speech.tasks().empty(); })) {
            return {};
        }
        auto request =
            std::dynamic_pointer_cast<doubles::ScriptedFileRequest>(speech.tasks()[0]->request);
        return request ? request->path : QString();
    }

    bool terminado() {
        return testing::waitUntil([this] { return estado.has_value(); });
    }

    // The consent outlives the recognizer, whose worker may still be asking it for an answer.
    doubles::FakeMicrophoneConsent microphone;
    doubles::ScriptedSpeechService speech;
    QStringList lineas;
    std::optional<int> estado;
};

TEST_F(Autoprueba, SuccessPrintsAvailabilityThenTheTextUnchangedAndEndsWithZero) {
    empezar({"voz.wav", "es-ES"});
    EXPECT_EQ(tareaDeArchivo(), QDir::current().absoluteFilePath("voz.wav"));
    EXPECT_EQ(speech.localesAsked().value(0), "es-ES");
    speech.deliver(0, RecognitionResult{QStringLiteral(" Hola,\nmundo. "), true});
    ASSERT_TRUE(terminado());
    EXPECT_EQ(lineas,
              (QStringList{"sin_conexion_disponible=true", "TRANSCRIPCION:  Hola,\nmundo. "}));
    EXPECT_EQ(estado, 0);
}

TEST_F(Autoprueba, FailurePrintsTheMessageAndEndsWithThree) {
    speech.onDeviceSupported = false;
    empezar({"/no/existe.wav", "es-MX"});
    EXPECT_EQ(tareaDeArchivo(), "/no/existe.wav");
    speech.deliver(0, std::nullopt,
                   RecognitionError{1, QStringLiteral("x"), QStringLiteral("No se pudo leer")});
    ASSERT_TRUE(terminado());
    EXPECT_EQ(lineas, (QStringList{"sin_conexion_disponible=false", "FALLO: 1: No se pudo leer"}));
    EXPECT_EQ(estado, 3);
}

TEST_F(Autoprueba, DeniedSpeechRecognitionPrintsOneLineAndEndsWithTwo) {
    speech.authorization = SpeechAuthorization::Denied;
    empezar({"voz.wav", "es-MX"});
    ASSERT_TRUE(terminado());
    EXPECT_EQ(lineas, QStringList{"FALLO: sin permiso de Reconocimiento de voz"});
    EXPECT_EQ(estado, 2);
    EXPECT_TRUE(speech.tasks().empty());
}

TEST_F(Autoprueba, ADeniedMicrophoneDoesNotMatter) {
    microphone.granted = false;
    empezar({"voz.wav", "es-MX"});
    ASSERT_FALSE(tareaDeArchivo().isEmpty());
    speech.deliver(0, RecognitionResult{QStringLiteral("hola"), true});
    ASSERT_TRUE(terminado());
    EXPECT_EQ(estado, 0);
}

}  // namespace
}  // namespace sonarel
