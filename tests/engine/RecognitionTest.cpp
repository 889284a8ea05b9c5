#include "EngineFixture.h"

using namespace sonarel;
using sonarel::testing::EngineTest;

TEST_F(EngineTest, PartialResultsReplaceTheLiveTextOfTheSegment) {
    startListening();
    partial(QStringLiteral("hola"));
    partial(QStringLiteral("hola a todos"));
    EXPECT_EQ(engine.text(), "hola a todos");
    EXPECT_EQ(taskCount(), 1);
}

TEST_F(EngineTest, TheRequestCarriesTheSettingsOfTheMomentTheTaskStarts) {
    engine.addsPunctuation = false;
    startListening();
    RequestSettings first = speech.requestOf(0)->settings;
    EXPECT_FALSE(first.addsPunctuation);
    EXPECT_TRUE(first.requiresOnDeviceRecognition);
    EXPECT_TRUE(engine.onDevice());

    engine.addsPunctuation = true;
    engine.preferOnDevice = false;
    finalResult(QStringLiteral("uno"));
    RequestSettings second = speech.requestOf(1)->settings;
    EXPECT_TRUE(second.addsPunctuation);
    EXPECT_FALSE(second.requiresOnDeviceRecognition);
    EXPECT_FALSE(engine.onDevice());
    EXPECT_EQ(engine.notice(), "");
}

TEST_F(EngineTest, WithoutOnDeviceSupportTheNoticeIsSetAtEveryTask) {
    speech.onDeviceSupported = false;
    engine.localeID = "es-CL";
    startListening();
    const QString notice = QStringLiteral(
        "Dictado sin conexión no disponible para es-CL: el audio se procesa fuera de este equipo.");
    EXPECT_EQ(engine.notice(), notice);
    EXPECT_FALSE(engine.onDevice());
    int notices = 0;
    QObject::connect(&engine, &SpeechEngine::noticeChanged, [&] { ++notices; });
    finalResult(QStringLiteral("a"));
    EXPECT_EQ(notices, 1);
    stop();
    engine.start();
    EXPECT_EQ(engine.notice(), "") << "a new start empties the notice";
}

TEST_F(EngineTest, AFinalResultCommitsAndRotatesToAFreshTask) {
    startListening();
    finalResult(QStringLiteral("Primera parte."));
    ASSERT_EQ(taskCount(), 2);
    EXPECT_TRUE(speech.tasks()[0]->cancelled);
    EXPECT_TRUE(speech.requestOf(0)->ended);
    partial(QStringLiteral("segunda"));
    EXPECT_EQ(engine.text(), "Primera parte. segunda");
}

TEST_F(EngineTest, RotationsAreSpacedBySixTenthsOfASecond) {
    startListening();
    finalResult(QStringLiteral("uno"));  // the first rotation never waits
    ASSERT_EQ(taskCount(), 2);
    clock.advance(0.2);
    finalResult(QStringLiteral("dos"));
    EXPECT_EQ(taskCount(), 2) << "the next task waits 0.4 s";
    engine.clear();  // a rotation asked for during the wait is ignored
    clock.advance(0.39);
    EXPECT_EQ(taskCount(), 2);
    clock.advance(0.02);
    EXPECT_EQ(taskCount(), 3);
    EXPECT_EQ(engine.text(), "");
}

TEST_F(EngineTest, AudioDuringARotationWaitGoesToTheNextTask) {
    startListening();
    finalResult(QStringLiteral("uno"));
    clock.advance(0.1);
    finalResult(QStringLiteral("dos"));
    audio.pushConstant(0.1f);
    ASSERT_EQ(taskCount(), 2);
    clock.advance(0.5);
    ASSERT_EQ(taskCount(), 3);
    EXPECT_EQ(speech.requestOf(0)->buffersAppended, 0);
    EXPECT_EQ(speech.requestOf(1)->buffersAppended, 0);
    EXPECT_EQ(speech.requestOf(2)->buffersAppended, 1);
}

// At the age limit the task is replaced while the user speaks: the new one hears the audio at
// once, and the old one finishes the words it already heard, which keep their place in the text.
TEST_F(EngineTest, AHardRotationLetsTheOldTaskFinishWhileTheNextOneListens) {
    speech.finishWhenAudioEnds = false;
    startListening();
    partial(QStringLiteral("uno dos"));
    for (double t = 0; t < 55.5; t += 0.25) {
        audio.pushConstant(0.5f);
        advance(0.25);
    }
    ASSERT_EQ(taskCount(), 2);
    EXPECT_TRUE(speech.requestOf(0)->ended);
    EXPECT_FALSE(speech.tasks()[0]->cancelled);
    const int before = speech.requestOf(1)->buffersAppended;
    audio.pushConstant(0.5f);
    EXPECT_EQ(speech.requestOf(1)->buffersAppended, before + 1);

    partial(QStringLiteral("tres"));
    EXPECT_EQ(engine.text(), "uno dos tres");
    speech.deliver(0, RecognitionResult{QStringLiteral("uno dos y"), true});
    settle();
    EXPECT_EQ(engine.text(), "uno dos y tres");
    EXPECT_TRUE(speech.tasks()[0]->cancelled);
    finalResult(QStringLiteral("tres cuatro"));
    advance(SpeechEngine::kSilenceGap);  // the next task waits its turn
    partial(QStringLiteral("cinco"));
    EXPECT_EQ(engine.text(), "uno dos y tres cuatro cinco");
    stop();
    finalResult(QStringLiteral("cinco seis"));
    EXPECT_EQ(delivered, QStringList{"uno dos y tres cuatro cinco seis"});
}

TEST_F(EngineTest, AnEarlierSegmentStillFinishingKeepsItsPlaceBeforeLaterText) {
    speech.finishWhenAudioEnds = false;
    startListening();
    partial(QStringLiteral("primero"));
    for (double t = 0; t < 55.5; t += 0.25) {
        audio.pushConstant(0.5f);
        advance(0.25);
    }
    finalResult(QStringLiteral("segundo"));  // the new task ends before the old one
    EXPECT_EQ(engine.text(), "primero segundo");
    speech.deliver(0, RecognitionResult{QStringLiteral("primero entero"), true});
    settle();
    EXPECT_EQ(engine.text(), "primero entero segundo");
}

TEST_F(EngineTest, StopDuringARotationWaitStartsNothingLater) {
    startListening();
    finalResult(QStringLiteral("uno"));
    clock.advance(0.1);
    finalResult(QStringLiteral("dos"));
    stop();  // the waiting request's audio still gets its task, which finishes at once
    ASSERT_EQ(taskCount(), 3);
    startListening();
    ASSERT_EQ(taskCount(), 4);
    clock.advance(1.0);
    EXPECT_EQ(taskCount(), 4) << "the old wait must not add a second task to the new session";
}

TEST_F(EngineTest, QuietCodesRotateWithoutAMessage) {
    startListening();
    for (long code : {203L, 216L, 301L, 1110L}) {
        partial(QStringLiteral("p%1").arg(code));
        error(code);
        clock.advance(1.0);
        EXPECT_EQ(engine.status(), Status::listening()) << code;
    }
    EXPECT_EQ(taskCount(), 5);
    EXPECT_EQ(engine.text(), "p203 p216 p301 p1110");
}

TEST_F(EngineTest, OtherErrorsFailTheSessionAndDeliverTheText) {
    startListening();
    partial(QStringLiteral("antes del fallo"));
    error(42, QStringLiteral("kAFAssistantErrorDomain"), QStringLiteral("se rompió"));
    EXPECT_EQ(engine.status(), Status::failed("Error de reconocimiento (42): se rompió"));
    EXPECT_EQ(delivered, QStringList{"antes del fallo"});
    EXPECT_EQ(clock.pendingTimers(), 0);
    EXPECT_FALSE(audio.isRunning());
}

TEST_F(EngineTest, NetworkErrorsGiveTheOfflineMessage) {
    const QString offline = QStringLiteral(
        "Sin conexión y el dictado sin conexión no está instalado para es-MX. Descarga un modelo "
        "de "
        "voz en Modelos de voz.");
    startListening();
    error(-1009, QStringLiteral("OtroDominio"));
    EXPECT_EQ(engine.status(), Status::failed(offline));
    startListening();
    error(7, QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(engine.status(), Status::failed(offline));
}

TEST_F(EngineTest, AResultWithAnErrorUpdatesTheTextFirst) {
    startListening();
    speech.deliverToLatest(RecognitionResult{QStringLiteral("último"), false},
                           RecognitionError{99, QStringLiteral("d"), QStringLiteral("mal")});
    settle();
    EXPECT_EQ(engine.status(), Status::failed("Error de reconocimiento (99): mal"));
    EXPECT_EQ(delivered, QStringList{"último"});
}

TEST_F(EngineTest, CallbacksOfReplacedTasksChangeNothing) {
    startListening();
    finalResult(QStringLiteral("uno"));
    speech.deliver(0, RecognitionResult{QStringLiteral("tarde"), false});
    speech.deliver(0, std::nullopt, RecognitionError{216, "d", "cancelada"});
    speech.deliver(0, std::nullopt, RecognitionError{1, "d", "cancelada"});
    settle();
    EXPECT_EQ(engine.text(), "uno");
    EXPECT_EQ(engine.status(), Status::listening());
    EXPECT_EQ(taskCount(), 2);
    stop();
    speech.deliver(1, RecognitionResult{QStringLiteral("después"), true});
    settle();
    EXPECT_EQ(engine.text(), "uno");
}

// The user's replacements, then the spoken commands, rewrite each utterance as it is committed;
// the live text shows what was heard until then.
TEST_F(EngineTest, CommittedUtterancesTakeTheUsersWordsAndSpokenCommands) {
    engine.replacements = {{QStringLiteral("sonar el"), QStringLiteral("Sonarel")}};
    startListening();
    partial(QStringLiteral("Prueba sonar el coma"));
    EXPECT_EQ(engine.text(), "Prueba sonar el coma");
    finalResult(QStringLiteral("Prueba sonar el coma"));
    EXPECT_EQ(engine.text(), "Prueba Sonarel,");
    advance(1);
    finalResult(QStringLiteral("funciona punto"));
    EXPECT_EQ(engine.text(), "Prueba Sonarel, funciona.");
    stop();
    EXPECT_EQ(delivered, QStringList{"Prueba Sonarel, funciona."});
}

TEST_F(EngineTest, WithSpokenCommandsOffTheWordsStay) {
    engine.spokenCommands = false;
    startListening();
    finalResult(QStringLiteral("Hola coma adiós"));
    stop();
    EXPECT_EQ(delivered, QStringList{"Hola coma adiós"});
}

TEST_F(EngineTest, EveryRequestCarriesTheUsersVocabulary) {
    engine.vocabulary = {QStringLiteral("Sonarel"), QStringLiteral("Ana Belén")};
    startListening();
    finalResult(QStringLiteral("uno"));
    advance(1);
    ASSERT_EQ(taskCount(), 2);
    EXPECT_EQ(speech.requestOf(1)->settings.vocabulary, engine.vocabulary);
}
