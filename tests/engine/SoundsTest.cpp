#include "EngineFixture.h"
#include "engine/Level.h"

#include <cmath>

using namespace sonarel;
using sonarel::testing::EngineTest;

namespace {

class EngineSounds : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine.playsSounds = true;
        // Whether the microphone was open at each sound.
        sounds.onPlay = [this](Sound) { microphoneOpen.push_back(audio.isRunning()); };
    }

    long hushFrames() const {
        return std::lround(SpeechEngine::kStartSoundHush * audio.format.sampleRate);
    }
    std::shared_ptr<doubles::ScriptedRequest> request(int index) const {
        return speech.requestOf(index);
    }

    std::vector<bool> microphoneOpen;
};

using Sounds = std::vector<Sound>;

}  // namespace

// The start sound once the microphone is open, so that it never delays the capture; the stop
// sound once it has closed, so that it is never recorded. Neither for the preparation, a
// rotation or a cleared text.
TEST_F(EngineSounds, OneSoundOnceTheMicrophoneOpensAndOneOnceItHasClosed) {
    microphone.hold = true;
    engine.start();
    settle();
    EXPECT_EQ(engine.status(), Status::preparing());
    EXPECT_EQ(sounds.played, Sounds{});
    microphone.hold = false;
    microphone.answerPending();
    settle();
    ASSERT_EQ(engine.status(), Status::listening());
    EXPECT_EQ(sounds.played, Sounds{Sound::Start});

    advance(SpeechEngine::kHardRotate + 1);
    ASSERT_EQ(taskCount(), 2);
    engine.clear();
    settle();
    ASSERT_EQ(taskCount(), 3);
    EXPECT_EQ(sounds.played, Sounds{Sound::Start});

    // Turned off meanwhile: the session that began with its sound still ends with the other.
    engine.playsSounds = false;
    stop();
    EXPECT_EQ(sounds.played, (Sounds{Sound::Start, Sound::Stop}));
    EXPECT_EQ(microphoneOpen, (std::vector{true, false}));
    startListening();
    stop();
    EXPECT_EQ(sounds.played.size(), 2u);
}

// What the microphone records while the start sound may be playing reaches the recognizer as
// silence, and the level meter stays down; the frames after it are untouched, at a rotation too,
// and the next session is hushed again from its own start.
TEST_F(EngineSounds, TheStartSoundsStretchIsSilenceAndEverythingAfterItArrivesUnchanged) {
    startListening();
    const int whole = static_cast<int>(hushFrames() / 2048);
    for (int i = 0; i < whole; ++i) {
        audio.pushConstant(0.5f);
    }
    settle();
    EXPECT_EQ(request(0)->silentFramesAppended, whole * 2048L);
    EXPECT_EQ(request(0)->loudest, 0.0f);
    EXPECT_EQ(engine.level(), 0);

    clock.advance(2 * level::kPublicationInterval);
    audio.pushConstant(0.5f);
    audio.pushConstant(0.5f);
    settle();
    EXPECT_EQ(request(0)->silentFramesAppended, hushFrames());
    EXPECT_EQ(request(0)->framesAppended, (whole + 2) * 2048L);
    EXPECT_EQ(request(0)->loudest, 0.5f);
    EXPECT_GT(engine.level(), 0);

    advance(SpeechEngine::kHardRotate + 1);
    ASSERT_EQ(taskCount(), 2);
    audio.pushConstant(0.5f);
    EXPECT_EQ(request(1)->silentFramesAppended, 0);
    EXPECT_EQ(request(1)->framesAppended, 2048);
    stop();

    startListening();
    audio.pushConstant(0.5f);
    EXPECT_EQ(request(2)->silentFramesAppended, 2048);
}

TEST_F(EngineSounds, WithTheSoundsOffNothingPlaysAndNothingIsHushed) {
    engine.playsSounds = false;
    startListening();
    audio.pushConstant(0.5f);
    settle();
    EXPECT_EQ(request(0)->silentFramesAppended, 0);
    EXPECT_GT(engine.level(), 0);
    stop();
    EXPECT_EQ(sounds.played, Sounds{});
}

// A start that never listened sounds nothing; a session the lost microphone ended sounds its end.
TEST_F(EngineSounds, AFailedStartIsSilentAndALostMicrophoneSoundsTheStop) {
    audio.startError = QStringLiteral("no hay servidor de sonido");
    engine.start();
    settle();
    ASSERT_TRUE(engine.status().isFailed());
    microphone.granted = false;
    audio.startError.reset();
    engine.start();
    settle();
    ASSERT_TRUE(engine.status().isFailed());
    EXPECT_EQ(sounds.played, Sounds{});

    microphone.granted = true;
    startListening();
    audio.interrupt(QStringLiteral("el servidor de sonido se cerró"));
    settle();
    ASSERT_TRUE(engine.status().isFailed());
    EXPECT_EQ(sounds.played, (Sounds{Sound::Start, Sound::Stop}));
}
