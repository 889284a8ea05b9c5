#include "Recorder.h"
#include "SoundServer.h"
#include "engine/Level.h"
#include "engine/SpeechEngine.h"
#include "platform/QtClock.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseMessages.h"
#include "platform/pulse/PulseMicrophoneConsent.h"
#include "platform/pulse/PulseSoundPlayer.h"
#include "support/EventLoop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace sonarel {
namespace {

using testing::waitUntil;

// The real engine on the real microphone, with a scripted recognizer.
struct Dictation {
    explicit Dictation(const QString& server = {})
        : pulse(server.toStdString()),
          audio(pulse),
          consent(pulse),
          sounds(pulse),
          engine({speech, audio, consent, sounds, clock}) {
        engine.onStopped = [this](const QString& text) { delivered.append(text); };
        QObject::connect(&engine, &SpeechEngine::levelChanged,
                         [this] { loudest = std::max(loudest, engine.level()); });
    }

    bool listen() {
        engine.start();
        return waitUntil([this] { return engine.status() == Status::listening(); });
    }
    // Audio has reached the recognition request of the session's current task.
    bool hearing() {
        return waitUntil([this] {
            const auto tasks = speech.tasks();
            return !tasks.empty() &&
                   speech.requestOf(static_cast<int>(tasks.size()) - 1)->framesAppended > 2048;
        });
    }
    // Stops, and waits for the recognizer's last words.
    bool stop() {
        engine.stop();
        return waitUntil([this] { return !engine.isStopping(); });
    }
    void say(const QString& text) {
        speech.deliverToLatest(RecognitionResult{text, false});
        ASSERT_TRUE(waitUntil([&] { return engine.text() == text; }));
    }

    PulseConnection pulse;
    PulseAudioInput audio;
    PulseMicrophoneConsent consent;
    PulseSoundPlayer sounds;
    doubles::ScriptedSpeechService speech;
    QtClock clock;
    SpeechEngine engine;
    QStringList delivered;
    double loudest = 0;  // the highest published level since the test last reset it
};

class EngineOnTheMicrophone : public ::testing::Test {
protected:
    QString voice(const QString& phrase) { return testing::speak(dir_.path(), phrase); }

private:
    QTemporaryDir dir_;
};

// The second session of a run reopens the input: its level rises with the voice and falls in
// the silence after it.
TEST_F(EngineOnTheMicrophone, ASecondSessionHearsTheVoiceAndItsLevelFallsAfterIt) {
    const QString phrase = voice(QStringLiteral("Buenos días, vamos a dictar una nota."));
    Dictation dictation;
    ASSERT_TRUE(dictation.listen());
    ASSERT_TRUE(dictation.hearing());
    dictation.engine.stop();
    EXPECT_FALSE(dictation.audio.isRunning()) << "the microphone closes at once";
    ASSERT_TRUE(dictation.stop());

    ASSERT_TRUE(dictation.listen());
    ASSERT_EQ(dictation.speech.tasks().size(), 2u);
    ASSERT_TRUE(dictation.hearing());
    dictation.loudest = 0;
    waitUntil([] { return false; }, 0.2);
    EXPECT_LT(dictation.loudest, level::kVoiceThreshold);
    auto player = testing::playInto(phrase);
    ASSERT_TRUE(testing::finishPlaying(*player));
    EXPECT_GT(dictation.loudest, level::kVoiceThreshold);
    EXPECT_TRUE(waitUntil([&] { return dictation.engine.level() < level::kVoiceThreshold; }, 3));
    ASSERT_TRUE(dictation.stop());
    EXPECT_EQ(dictation.engine.status(), Status::idle());
}

// The test desktop's microphone hears its speaker, as a laptop's does: the start sound reaches
// the microphone but never the recognizer, and a voice after it reaches both.
TEST_F(EngineOnTheMicrophone, TheStartSoundNeverReachesTheRecognizerAndTheVoiceAfterItDoes) {
    const QString phrase = voice(QStringLiteral("Empiezo a hablar después del sonido."));
    Dictation dictation;
    testing::Recorder microphone(dictation.pulse);
    ASSERT_EQ(microphone.start(), std::nullopt);
    ASSERT_TRUE(dictation.engine.playsSounds) << "on unless the preferences say otherwise";
    ASSERT_TRUE(dictation.listen());
    const auto request = dictation.speech.requestOf(0);
    // Well past the sound and its latency.
    ASSERT_TRUE(waitUntil([&] { return request->framesAppended > 48000; }));
    EXPECT_GT(microphone.loudest(), 0.1f) << "the sound played into the microphone";
    EXPECT_EQ(request->loudest, 0.0f);
    EXPECT_EQ(request->silentFramesAppended, request->framesAppended);
    EXPECT_LT(dictation.loudest, level::kVoiceThreshold);

    auto player = testing::playInto(phrase);
    ASSERT_TRUE(testing::finishPlaying(*player));
    EXPECT_GT(request->loudest, 0.1f);
    EXPECT_GT(dictation.loudest, level::kVoiceThreshold);
    ASSERT_TRUE(dictation.stop());
}

TEST_F(EngineOnTheMicrophone, StopsByItselfAfterTheSilenceThatFollowsTheVoice) {
    const QString phrase = voice(QStringLiteral("Esta frase dura más que el silencio que espera."));
    Dictation dictation;
    int autoStops = 0;
    dictation.engine.autoStopSilence = 1;
    dictation.engine.onAutoStop = [&] { ++autoStops; };
    ASSERT_TRUE(dictation.listen());
    dictation.say(QStringLiteral("hola mundo"));

    // The voice, longer than the allowed silence, keeps the session going.
    auto player = testing::playInto(phrase);
    ASSERT_TRUE(testing::finishPlaying(*player));
    EXPECT_TRUE(dictation.engine.isListening());

    ASSERT_TRUE(waitUntil([&] { return dictation.engine.status() == Status::idle(); }, 4));
    EXPECT_EQ(autoStops, 1);
    EXPECT_EQ(dictation.delivered, QStringList{QStringLiteral("hola mundo")});
    EXPECT_FALSE(dictation.audio.isRunning());
}

TEST_F(EngineOnTheMicrophone, ServerKilledFailsTheSessionAndDeliversTheText) {
    testing::PrivateSoundServer server;
    ASSERT_TRUE(server.start());
    Dictation dictation(server.address());
    ASSERT_TRUE(dictation.listen());
    ASSERT_TRUE(dictation.hearing());
    dictation.say(QStringLiteral("texto dictado"));

    server.kill();
    ASSERT_TRUE(waitUntil(
        [&] { return dictation.engine.status().isFailed() && !dictation.engine.isStopping(); }));
    EXPECT_EQ(dictation.engine.status().message(),
              QStringLiteral("No se pudo abrir el micrófono: ") + pulse::kServerLost);
    EXPECT_EQ(dictation.delivered, QStringList{QStringLiteral("texto dictado")});
    EXPECT_FALSE(dictation.audio.isRunning());
    EXPECT_EQ(dictation.engine.level(), 0);

    // Once the server is back, the next dictation records again.
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(dictation.listen());
    ASSERT_TRUE(dictation.hearing());
    ASSERT_TRUE(dictation.stop());
}

}  // namespace
}  // namespace sonarel
