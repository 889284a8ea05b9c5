#pragma once

#include "engine/SpeechEngine.h"
#include "platform/doubles/FakeClock.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace sonarel::testing {

// An engine on test doubles: a clock the test moves, a scripted recognizer and a pushed input.
class EngineTest : public ::testing::Test {
protected:
    // Declared so that the speech service, whose thread may still ask the microphone for
    // consent, goes before the microphone does.
    doubles::FakeClock clock;
    doubles::PushAudioInput audio;
    doubles::FakeMicrophoneConsent microphone;
    doubles::ScriptedSpeechService speech;
    doubles::RecordingSoundPlayer sounds;
    SpeechEngine engine{{speech, audio, microphone, sounds, clock}};
    QStringList delivered;

    void SetUp() override {
        engine.onStopped = [this](const QString& text) { delivered.append(text); };
        // The start sound would hush the first pushed buffers of every test; its own tests turn
        // the sounds on.
        engine.playsSounds = false;
    }

    // Lets every callback of the doubles reach the engine, and what those set off in turn (a
    // lost input stops the session, whose task then delivers its final result).
    void settle() {
        for (int round = 0; round < 3; ++round) {
            speech.waitIdle();
            drainPosted();
        }
    }

    void startListening() {
        engine.start();
        settle();
        ASSERT_EQ(engine.status(), Status::listening());
    }

    // Stops and lets the recognizer's final result come in.
    void stop() {
        engine.stop();
        settle();
    }
    // Moves the clock, and lets what the timers set off reach the engine.
    void advance(double seconds) {
        clock.advance(seconds);
        settle();
    }

    void partial(const QString& text) { result(text, false); }
    void finalResult(const QString& text) { result(text, true); }
    void result(const QString& text, bool isFinal) {
        speech.deliverToLatest(RecognitionResult{text, isFinal});
        settle();
    }
    void error(long code, const QString& domain = QStringLiteral("kAFAssistantErrorDomain"),
               const QString& description = QStringLiteral("algo falló")) {
        speech.deliverToLatest(std::nullopt, RecognitionError{code, domain, description});
        settle();
    }

    int taskCount() const { return static_cast<int>(speech.tasks().size()); }
    QString failure() const { return engine.status().message(); }
};

}  // namespace sonarel::testing
