#include "EngineFixture.h"

using namespace sonarel;
using sonarel::testing::EngineTest;

namespace {

constexpr float kLoud = 0.5f;
constexpr float kQuiet = 0.0001f;  // -80 dB: no voice

}  // namespace

class TickerTest : public EngineTest {
protected:
    // Keeps the user talking (a loud buffer every 0.25 s) for `seconds`.
    void speak(double seconds) {
        for (double t = 0; t < seconds; t += 0.25) {
            audio.pushConstant(kLoud);
            settle();
            advance(0.25);
        }
    }
};

TEST_F(TickerTest, ElapsedStartsAtZeroAndFollowsTheTicks) {
    startListening();
    EXPECT_EQ(engine.elapsed(), 0);
    advance(0.25);
    EXPECT_DOUBLE_EQ(engine.elapsed(), 0.25);
    advance(0.5);
    EXPECT_DOUBLE_EQ(engine.elapsed(), 0.75);
    stop();
    advance(1);
    EXPECT_DOUBLE_EQ(engine.elapsed(), 0.75) << "a stopped session keeps its length";
}

TEST_F(TickerTest, AnOldSegmentRotatesAtTheFirstPauseLongerThanTheGap) {
    startListening();
    speak(40.5);
    EXPECT_EQ(taskCount(), 1);
    advance(0.25);  // 0.5 s of silence after the 40th second: not a pause yet
    EXPECT_EQ(taskCount(), 1);
    advance(0.25);  // 0.75 s of silence
    EXPECT_EQ(taskCount(), 2);
}

TEST_F(TickerTest, ASegmentPastTheHardLimitRotatesWhileTheUserSpeaks) {
    startListening();
    speak(55);
    EXPECT_EQ(taskCount(), 1) << "exactly 55 s is not past the limit";
    speak(0.5);
    EXPECT_EQ(taskCount(), 2);
}

TEST_F(TickerTest, AutoStopNeedsTextAndTheConfiguredSilence) {
    engine.autoStopSilence = 2;
    bool autoStopped = false;
    engine.onAutoStop = [&] {
        autoStopped = true;
        EXPECT_EQ(delivered.size(), 1) << "the text is delivered before the auto-stop callback";
    };
    startListening();
    advance(30);
    EXPECT_EQ(engine.status(), Status::listening()) << "no text, no auto-stop";

    partial(QStringLiteral("algo"));  // a result counts as voice
    advance(2.0);
    EXPECT_EQ(engine.status(), Status::listening());
    advance(0.25);
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_TRUE(autoStopped);
    EXPECT_EQ(delivered, QStringList{"algo"});
}

TEST_F(TickerTest, AutoStopCountsOnlyTextHeardInThisSession) {
    engine.textBinding().set(QStringLiteral("texto de antes"));
    engine.autoStopSilence = 2;
    startListening();
    advance(30);
    EXPECT_EQ(engine.status(), Status::listening()) << "leftover text is not this session's";
    EXPECT_TRUE(delivered.isEmpty());
}

TEST_F(TickerTest, AutoStopCountsFromTheLastLoudBuffer) {
    engine.autoStopSilence = 2;
    startListening();
    partial(QStringLiteral("algo"));
    speak(3);
    audio.pushConstant(kQuiet);
    settle();
    advance(1.75);
    EXPECT_EQ(engine.status(), Status::listening());
    advance(0.5);
    EXPECT_EQ(engine.status(), Status::idle());
}

TEST_F(TickerTest, AutoStopOffMeansNeverAndBlankTextIsNotDelivered) {
    startListening();
    partial(QStringLiteral("x"));
    advance(600);
    EXPECT_EQ(engine.status(), Status::listening());
    stop();
    engine.clear();
    delivered.clear();

    engine.autoStopSilence = 1;
    int autoStops = 0;
    engine.onAutoStop = [&] { ++autoStops; };
    startListening();
    partial(QStringLiteral("   "));
    advance(1.5);
    EXPECT_EQ(engine.status(), Status::idle());
    EXPECT_EQ(autoStops, 1);
    EXPECT_EQ(delivered.size(), 0);
}

TEST_F(TickerTest, LevelIsSmoothedAndPublishedAtMostEveryFiftyMilliseconds) {
    startListening();
    std::vector<double> published;
    QObject::connect(&engine, &SpeechEngine::levelChanged,
                     [&] { published.push_back(engine.level()); });
    for (int i = 0; i < 3; ++i) {
        audio.pushConstant(1.0f);
        settle();
        advance(0.051);
    }
    ASSERT_EQ(published.size(), 3u);
    EXPECT_NEAR(published[0], 0.4, 1e-9);
    EXPECT_NEAR(published[1], 0.64, 1e-9);
    EXPECT_NEAR(published[2], 0.784, 1e-9);

    audio.pushConstant(0.0f);
    settle();
    advance(0.02);
    audio.pushConstant(0.0f);  // within 0.05 s of the last publication
    settle();
    EXPECT_EQ(published.size(), 4u);
}

TEST_F(TickerTest, ALoudBufferInsideThePublicationIntervalStillCountsAsVoice) {
    engine.autoStopSilence = 1;
    startListening();
    partial(QStringLiteral("algo"));
    advance(0.9);
    audio.pushConstant(kQuiet);  // publishes
    settle();
    advance(0.01);
    audio.pushConstant(kLoud);  // not published, but voice
    settle();
    advance(0.9);
    EXPECT_EQ(engine.status(), Status::listening());
    advance(0.25);
    EXPECT_EQ(engine.status(), Status::idle());
}

TEST_F(TickerTest, OnlyTheFirstChannelIsMeasured) {
    audio.format = {48000, 2};
    engine.autoStopSilence = 1;
    startListening();
    partial(QStringLiteral("algo"));
    for (int i = 0; i < 8; ++i) {
        audio.push({std::vector<float>(2048, 0.0f), std::vector<float>(2048, kLoud)});
        settle();
        advance(0.25);
    }
    EXPECT_EQ(engine.status(), Status::idle()) << "a loud second channel is not voice";
    EXPECT_EQ(engine.level(), 0);
}
