#include "EngineFixture.h"

#include <thread>

using namespace sonarel;
using sonarel::testing::EngineTest;

namespace {

long framesOf(const std::shared_ptr<doubles::ScriptedTask>& task) {
    const auto request = std::dynamic_pointer_cast<doubles::ScriptedRequest>(task->request);
    return request ? request->framesAppended.load() : -1;
}

}  // namespace

// The capture thread keeps appending while the main thread swaps requests at every rotation.
TEST_F(EngineTest, RotationsWhileAudioStreamsFeedOnlyTheCurrentRequest) {
    startListening();
    audio.startStreaming(0.2f);
    std::vector<long> framesWhenReplaced;
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        finalResult(QStringLiteral("f%1").arg(i));
        framesWhenReplaced.push_back(framesOf(speech.tasks()[static_cast<size_t>(i)]));
        clock.advance(0.7);
    }
    engine.stop();
    framesWhenReplaced.push_back(framesOf(speech.latestTask()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    audio.stopStreaming();

    const auto tasks = speech.tasks();
    ASSERT_EQ(tasks.size(), 201u);
    long total = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        const long frames = framesOf(tasks[i]);
        EXPECT_EQ(frames % 2048, 0);
        // At most the one buffer the capture thread took from the box just before the swap.
        EXPECT_LE(frames - framesWhenReplaced[i], 2048) << "request " << i;
        total += frames;
    }
    EXPECT_GT(total, 0);
    EXPECT_FALSE(audio.hasTap());
    sonarel::testing::drainPosted();
}

// Every frame the microphone hands over reaches a request that is still taking audio: across
// rotations (the next request is in the box before the old one ends) and at the stop (the
// input's part-filled buffer is handed over before the request leaves the box).
TEST_F(EngineTest, EveryCapturedFrameReachesARequestAcrossRotationsAndTheStop) {
    startListening();
    for (int i = 0; i < 3; ++i) {
        audio.pushConstant(0.2f);
    }
    advance(SpeechEngine::kHardRotate + 1);  // a rotation by age
    ASSERT_EQ(taskCount(), 2);
    for (int i = 0; i < 2; ++i) {
        audio.pushConstant(0.2f);
    }
    audio.pushConstant(0.2f, 700);
    audio.hold(1000, 0.2f);  // what the input still holds at the stop
    stop();

    EXPECT_EQ(audio.framesDelivered(), 3 * 2048 + 2 * 2048 + 700 + 1000);
    EXPECT_EQ(framesOf(speech.tasks()[0]), 3 * 2048);
    EXPECT_EQ(framesOf(speech.tasks()[1]), 2 * 2048 + 700 + 1000);
    EXPECT_TRUE(speech.requestOf(1)->ended);
}

TEST_F(EngineTest, StreamingThroughManyRotationsAndAStopLosesNoFrame) {
    startListening();
    audio.startStreaming(0.2f);
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        finalResult(QStringLiteral("f%1").arg(i));
        clock.advance(0.7);
    }
    audio.hold(513, 0.2f);
    engine.stop();
    audio.stopStreaming();
    settle();

    long total = 0;
    for (const auto& task : speech.tasks()) {
        total += framesOf(task);
    }
    EXPECT_EQ(total, audio.framesDelivered());
}
