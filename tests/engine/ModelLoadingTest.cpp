#include "EngineFixture.h"

using namespace sonarel;
using sonarel::testing::EngineTest;

namespace {

// A recognizer whose model is still loading: its tasks answer only once it is ready.
class LoadingModelTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        speech.holdReady = true;
        speech.finishWhenAudioEnds = false;
    }
};

}  // namespace

// The stop's bound counts the decoding, not the wait for the model: a stop long before the
// model is ready still delivers, once, the text of the audio heard.
TEST_F(LoadingModelTest, AStopBeforeTheModelIsReadyDeliversItsTextOnceItIs) {
    startListening();
    audio.pushConstant(0.3f);
    stop();
    EXPECT_TRUE(engine.isWaitingForModel());
    advance(SpeechEngine::kFinishBound * 4);
    EXPECT_TRUE(engine.isStopping());
    EXPECT_FALSE(speech.tasks()[0]->cancelled);
    EXPECT_TRUE(delivered.isEmpty());

    speech.becomeReady(true);
    settle();
    EXPECT_FALSE(engine.isWaitingForModel());
    speech.deliver(0, RecognitionResult{QStringLiteral("hola mundo"), true});
    settle();
    EXPECT_EQ(delivered, QStringList{"hola mundo"});
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_FALSE(engine.isStopping());
}

// Once the model is ready, the bound runs again: a task that then never finishes ends at it.
TEST_F(LoadingModelTest, TheBoundStartsWhenTheModelIsReady) {
    startListening();
    partial(QStringLiteral("hola"));
    stop();
    advance(SpeechEngine::kFinishBound * 2);
    speech.becomeReady(true);
    settle();
    advance(SpeechEngine::kFinishBound - 0.01);
    EXPECT_TRUE(engine.isStopping());
    advance(0.02);
    EXPECT_FALSE(engine.isStopping());
    EXPECT_EQ(delivered, QStringList{"hola"});
}

// Rotations while the model loads keep their segments, whose texts join in the order spoken.
TEST_F(LoadingModelTest, RotationsDuringALongLoadKeepTheirSegments) {
    startListening();
    advance(SpeechEngine::kHardRotate + 1);
    advance(SpeechEngine::kHardRotate + 1);
    ASSERT_EQ(taskCount(), 3);
    stop();
    advance(SpeechEngine::kFinishBound * 5);
    EXPECT_FALSE(speech.tasks()[0]->cancelled);
    speech.becomeReady(true);
    settle();
    speech.deliver(1, RecognitionResult{QStringLiteral("dos"), true});
    speech.deliver(0, RecognitionResult{QStringLiteral("uno"), true});
    speech.deliver(2, RecognitionResult{QStringLiteral("tres"), true});
    settle();
    EXPECT_EQ(delivered, QStringList{"uno dos tres"});
}

// A model that never loads loses the words, but says so, and ends the session.
TEST_F(LoadingModelTest, AModelThatCannotLoadEndsTheSessionWithANotice) {
    int ended = 0;
    QObject::connect(&engine, &SpeechEngine::sessionEnded, [&] { ++ended; });
    startListening();
    speech.becomeReady(false);
    settle();
    EXPECT_TRUE(engine.status().isFailed());
    EXPECT_TRUE(failure().contains(QStringLiteral("no cargó")));
    advance(SpeechEngine::kFinishBound + 0.1);
    EXPECT_FALSE(engine.isStopping());
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(failure().contains(QStringLiteral("no cargó")));
}
