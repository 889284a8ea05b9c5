#include "EngineFixture.h"

using namespace sonarel;
using sonarel::testing::EngineTest;

namespace {

const QString kSpeechMessage =
    QStringLiteral("Falta el permiso de Reconocimiento de voz. Revísalo en Modelos de voz.");
const QString kMicMessage = QStringLiteral(
    "Falta el permiso del Micrófono. Actívalo en los ajustes de sonido del escritorio.");

}  // namespace

TEST_F(EngineTest, StartPreparesThenListensWithOneTaskAndTap) {
    engine.start();
    EXPECT_EQ(engine.status(), Status::preparing());
    EXPECT_TRUE(engine.isListening());
    settle();
    EXPECT_EQ(engine.status(), Status::listening());
    EXPECT_EQ(taskCount(), 1);
    EXPECT_EQ(audio.starts(), 1);
    EXPECT_EQ(audio.framesPerBuffer(), 2048);
    EXPECT_EQ(speech.localesAsked(), QStringList{"es-MX"});
    EXPECT_EQ(engine.elapsed(), 0);
}

TEST_F(EngineTest, StartWhileRunningChangesNothingNotEvenTheNotice) {
    speech.onDeviceSupported = false;  // makes the first task set a notice
    startListening();
    const QString notice = engine.notice();
    ASSERT_FALSE(notice.isEmpty());
    int changes = 0;
    QObject::connect(&engine, &SpeechEngine::statusChanged, [&] { ++changes; });
    QObject::connect(&engine, &SpeechEngine::noticeChanged, [&] { ++changes; });
    engine.start();
    settle();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(engine.notice(), notice);
    EXPECT_EQ(taskCount(), 1);
}

TEST_F(EngineTest, StopEndsTheSessionAndDeliversTheUntrimmedText) {
    startListening();
    partial(QStringLiteral("  hola mundo "));
    audio.pushConstant(0.5f);
    settle();
    ASSERT_GT(engine.level(), 0);
    engine.stop();
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_EQ(engine.level(), 0);
    EXPECT_FALSE(audio.isRunning());
    EXPECT_FALSE(audio.hasTap());
    EXPECT_TRUE(speech.latestTask()->cancelled);
    EXPECT_TRUE(speech.requestOf(0)->ended);
    EXPECT_EQ(delivered, QStringList{"  hola mundo "});
}

TEST_F(EngineTest, BlankTextIsNotDelivered) {
    startListening();
    partial(QStringLiteral(" \n  \n"));
    engine.stop();
    EXPECT_TRUE(delivered.isEmpty());
}

TEST_F(EngineTest, EveryPermissionAnswerLeadsToItsOutcome) {
    struct Case {
        SpeechAuthorization speech;
        bool mic;
        QString message;  // empty: listening
    };
    const Case cases[] = {
        {SpeechAuthorization::Denied, true, kSpeechMessage},
        {SpeechAuthorization::Restricted, true, kSpeechMessage},
        {SpeechAuthorization::NotDetermined, false, kSpeechMessage},
        {SpeechAuthorization::Authorized, false, kMicMessage},
        {SpeechAuthorization::Authorized, true, {}},
    };
    for (const Case& c : cases) {
        doubles::FakeClock caseClock;
        doubles::PushAudioInput caseAudio;
        doubles::FakeMicrophoneConsent caseMic;
        doubles::ScriptedSpeechService caseSpeech;
        caseSpeech.authorization = c.speech;
        caseMic.granted = c.mic;
        SpeechEngine caseEngine({caseSpeech, caseAudio, caseMic, caseClock});
        caseEngine.start();
        caseSpeech.waitIdle();
        sonarel::testing::drainPosted();
        EXPECT_EQ(caseMic.requests.load(), 1) << "the microphone is asked even after a refusal";
        if (c.message.isEmpty()) {
            EXPECT_EQ(caseEngine.status(), Status::listening());
        } else {
            EXPECT_EQ(caseEngine.status(), Status::failed(c.message));
            EXPECT_EQ(caseAudio.starts(), 0);
        }
    }
}

TEST_F(EngineTest, BeginFailuresEachGiveTheirMessageAndOpenNothing) {
    speech.localesWithoutRecognizer.insert("es-XX");
    engine.localeID = "es-XX";
    engine.start();
    settle();
    EXPECT_EQ(engine.status(), Status::failed("No hay reconocedor para es-XX. Instala un modelo de "
                                              "voz en Modelos de voz."));

    engine.localeID = "es-ES";
    speech.available = false;
    engine.start();
    settle();
    EXPECT_EQ(engine.status(),
              Status::failed("El reconocedor de es-ES no está disponible ahora mismo: el modelo de "
                             "voz no carga. Elige otro en Modelos de voz."));
    EXPECT_EQ(audio.starts(), 0);

    speech.available = true;
    audio.format = {0, 1};
    engine.start();
    settle();
    EXPECT_EQ(engine.status(),
              Status::failed("No se pudo abrir el micrófono: El dispositivo de entrada no entrega "
                             "audio. Revisa el micrófono en los ajustes de sonido del "
                             "escritorio."));

    audio.format = {48000, 2};
    audio.startError = QStringLiteral("no hay servidor de sonido");
    engine.start();
    settle();
    EXPECT_EQ(engine.status(),
              Status::failed("No se pudo abrir el micrófono: no hay servidor de sonido"));
    EXPECT_EQ(taskCount(), 0);
    EXPECT_FALSE(engine.isListening());

    // A failed start leaves no ticker behind, and the next start is accepted.
    EXPECT_EQ(clock.pendingTimers(), 0);
    audio.startError.reset();
    startListening();
}

TEST_F(EngineTest, AnAnswerArrivingAfterStopIsDroppedAndTheMicrophoneStaysClosed) {
    speech.holdAuthorization = true;
    engine.start();
    engine.toggle();  // stop while preparing
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_EQ(engine.level(), 0);
    speech.answerAuthorizations();
    settle();
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_EQ(audio.starts(), 0);
    EXPECT_EQ(taskCount(), 0);
    EXPECT_EQ(clock.pendingTimers(), 0);
}

TEST_F(EngineTest, OnlyTheAnswerOfTheNewestStartBegins) {
    speech.holdAuthorization = true;
    engine.start();
    engine.stop();
    engine.start();
    speech.answerAuthorizations();  // answers both starts
    settle();
    EXPECT_EQ(engine.status(), Status::listening());
    EXPECT_EQ(audio.starts(), 1);
    EXPECT_EQ(taskCount(), 1);
}

TEST_F(EngineTest, FailedStaysThroughStopUntilTheNextStart) {
    audio.startError = QStringLiteral("x");
    engine.start();
    settle();
    ASSERT_TRUE(engine.status().isFailed());
    engine.stop();
    EXPECT_TRUE(engine.status().isFailed());
    EXPECT_FALSE(engine.isListening());
    audio.startError.reset();
    engine.toggle();
    EXPECT_EQ(engine.status(), Status::preparing());
}

TEST_F(EngineTest, ASecondSessionContinuesTheTextOfTheFirst) {
    startListening();
    partial(QStringLiteral("Primera frase."));
    engine.stop();
    startListening();
    partial(QStringLiteral("segunda"));
    EXPECT_EQ(engine.text(), "Primera frase. segunda");
    engine.stop();
    EXPECT_EQ(delivered.last(), "Primera frase. segunda");
}

TEST_F(EngineTest, ClearEmptiesTheTextAndRestartsRecognitionOnlyWhileListening) {
    startListening();
    partial(QStringLiteral("borrar esto"));
    engine.clear();
    EXPECT_EQ(engine.text(), "");
    EXPECT_EQ(taskCount(), 2);
    EXPECT_TRUE(speech.tasks()[0]->cancelled);
    partial(QStringLiteral("nuevo"));
    EXPECT_EQ(engine.text(), "nuevo");
    engine.stop();
    engine.clear();
    EXPECT_EQ(engine.text(), "");
    EXPECT_EQ(taskCount(), 2);
    EXPECT_EQ(engine.status(), Status::idle());
}

TEST_F(EngineTest, EditorWritesApplyOnlyWhileNotListening) {
    engine.textBinding().set(QStringLiteral("texto editado"));
    EXPECT_EQ(engine.text(), "texto editado");
    EXPECT_EQ(engine.wordCount(), 2);

    speech.holdAuthorization = true;
    engine.start();
    int notified = 0;
    QObject::connect(&engine, &SpeechEngine::textChanged, [&] { ++notified; });
    engine.textBinding().set(QStringLiteral("ignorado"));  // while preparing
    EXPECT_EQ(engine.textBinding().get(), "texto editado");
    EXPECT_EQ(notified, 1) << "the editor is told to show the engine's text again";
    speech.answerAuthorizations();
    settle();
    partial(QStringLiteral("y más"));
    EXPECT_EQ(engine.text(), "texto editado y más");
}

TEST_F(EngineTest, LosingTheInputMidSessionFailsAndDeliversTheText) {
    startListening();
    partial(QStringLiteral("lo dicho"));
    audio.interrupt(QStringLiteral("el servidor de sonido se cerró"));
    settle();
    EXPECT_EQ(engine.status(),
              Status::failed("No se pudo abrir el micrófono: el servidor de sonido se cerró"));
    EXPECT_EQ(delivered, QStringList{"lo dicho"});
    EXPECT_EQ(clock.pendingTimers(), 0);
}

TEST_F(EngineTest, PublishedPropertiesNotifyAtEveryAssignment) {
    startListening();
    int levels = 0;
    QObject::connect(&engine, &SpeechEngine::levelChanged, [&] { ++levels; });
    engine.stop();  // level 0 -> 0 still notifies
    EXPECT_EQ(levels, 1);
}
