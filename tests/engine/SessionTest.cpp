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

TEST_F(EngineTest, TheChosenMicrophoneIsAskedForAndItsAbsenceIsToldUntilItIsBack) {
    engine.microphone = QStringLiteral("bluez_source.cascos");
    audio.missing = true;
    startListening();
    EXPECT_EQ(audio.chosen, "bluez_source.cascos");
    EXPECT_EQ(engine.notice(),
              "El micrófono elegido no está conectado: se graba con el "
              "predeterminado del escritorio.");
    stop();

    audio.missing = false;
    startListening();
    EXPECT_EQ(engine.notice(), "");
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
    stop();
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_EQ(engine.level(), 0);
    EXPECT_FALSE(audio.isRunning());
    EXPECT_FALSE(audio.hasTap());
    EXPECT_TRUE(speech.latestTask()->cancelled);
    EXPECT_TRUE(speech.requestOf(0)->ended);
    EXPECT_EQ(delivered, QStringList{"  hola mundo "});
}

// The recognizer decodes the last words after the audio ends: the stop waits for that final
// result, with the microphone already closed, and delivers its text.
TEST_F(EngineTest, StopDeliversTheFinalResultThatCameAfterTheAudioEnded) {
    speech.finishWhenAudioEnds = false;
    int ended = 0;
    QObject::connect(&engine, &SpeechEngine::sessionEnded, [&] { ++ended; });
    startListening();
    partial(QStringLiteral("hola"));
    stop();
    EXPECT_TRUE(engine.isStopping());
    EXPECT_TRUE(engine.isListening());
    EXPECT_FALSE(audio.isRunning());
    EXPECT_EQ(engine.level(), 0);
    EXPECT_TRUE(speech.requestOf(0)->ended);
    EXPECT_FALSE(speech.tasks()[0]->cancelled);
    EXPECT_TRUE(delivered.isEmpty());

    audio.pushConstant(0.5f);  // nothing more is heard
    EXPECT_EQ(speech.requestOf(0)->buffersAppended, 0);
    engine.start();
    engine.toggle();
    settle();
    EXPECT_EQ(taskCount(), 1) << "a start or stop while the last words decode changes nothing";

    partial(QStringLiteral("hola qué"));
    EXPECT_EQ(engine.text(), "hola qué");
    finalResult(QStringLiteral("hola qué tal"));
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_FALSE(engine.isStopping());
    EXPECT_EQ(engine.text(), "hola qué tal");
    EXPECT_EQ(delivered, QStringList{"hola qué tal"});
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(clock.pendingTimers(), 0);
}

TEST_F(EngineTest, AStopWhoseRecognizerNeverFinishesEndsAtTheBoundWithTheLastPartial) {
    speech.finishWhenAudioEnds = false;
    startListening();
    partial(QStringLiteral("hola"));
    stop();
    advance(SpeechEngine::kFinishBound - 0.01);
    EXPECT_TRUE(engine.isStopping());
    advance(0.02);
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_TRUE(speech.tasks()[0]->cancelled);
    EXPECT_EQ(delivered, QStringList{"hola"});
    speech.deliver(0, RecognitionResult{QStringLiteral("hola tarde"), true});
    settle();
    EXPECT_EQ(engine.text(), "hola");
    EXPECT_EQ(delivered.size(), 1);
}

TEST_F(EngineTest, AnErrorInsteadOfTheFinalResultFailsTheStopAndKeepsThePartial) {
    speech.finishWhenAudioEnds = false;
    Status atDelivery = Status::idle();
    engine.onStopped = [&](const QString& text) {
        delivered.append(text);
        atDelivery = engine.status();
    };
    startListening();
    partial(QStringLiteral("casi todo"));
    stop();
    error(42, QStringLiteral("d"), QStringLiteral("se rompió"));
    EXPECT_EQ(engine.status(), Status::failed("Error de reconocimiento (42): se rompió"));
    EXPECT_EQ(atDelivery, engine.status()) << "the failure is known when the text is delivered";
    EXPECT_EQ(delivered, QStringList{"casi todo"});
}

TEST_F(EngineTest, ARecognizerThatHeardNothingEndsTheStopAtOnce) {
    startListening();
    stop();  // the task answers 1110, no speech
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_TRUE(delivered.isEmpty());
}

TEST_F(EngineTest, SessionEndedComesOnceWhateverTheOutcome) {
    int ended = 0;
    QObject::connect(&engine, &SpeechEngine::sessionEnded, [&] { ++ended; });
    audio.startError = QStringLiteral("x");
    engine.start();
    settle();
    EXPECT_EQ(ended, 1) << "a failed start";
    audio.startError.reset();
    startListening();
    stop();
    EXPECT_EQ(ended, 2) << "a stop with nothing heard";
    startListening();
    partial(QStringLiteral("algo"));
    error(42);
    EXPECT_EQ(ended, 3) << "a recognition error";
    speech.holdAuthorization = true;
    engine.start();
    stop();
    EXPECT_EQ(ended, 4) << "a stop while preparing";
    engine.stop();
    settle();
    EXPECT_EQ(ended, 4) << "a stop with no session changes nothing";
}

TEST_F(EngineTest, BlankTextIsNotDelivered) {
    startListening();
    partial(QStringLiteral(" \n  \n"));
    stop();
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
        doubles::RecordingSoundPlayer caseSounds;
        SpeechEngine caseEngine({caseSpeech, caseAudio, caseMic, caseSounds, caseClock});
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
    stop();
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
    stop();
    EXPECT_TRUE(engine.status().isFailed());
    EXPECT_FALSE(engine.isListening());
    audio.startError.reset();
    engine.toggle();
    EXPECT_EQ(engine.status(), Status::preparing());
}

TEST_F(EngineTest, ASecondSessionContinuesTheTextOfTheFirstAndDeliversOnlyItsOwn) {
    startListening();
    partial(QStringLiteral("Primera frase."));
    stop();
    startListening();
    partial(QStringLiteral("segunda"));
    EXPECT_EQ(engine.text(), "Primera frase. segunda");
    stop();
    EXPECT_EQ(engine.text(), "Primera frase. segunda");
    // The first session's words were delivered (and archived) at its own stop.
    EXPECT_EQ(delivered, (QStringList{"Primera frase.", "segunda"}));
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
    stop();
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
    stop();  // level 0 -> 0 still notifies
    EXPECT_EQ(levels, 1);
}
