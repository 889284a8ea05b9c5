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
