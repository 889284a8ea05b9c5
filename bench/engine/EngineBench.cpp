// Prints the cost of the engine's per-buffer and per-result work.
#include "engine/Level.h"
#include "engine/SpeechEngine.h"
#include "platform/doubles/FakeClock.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using namespace sonarel;
using Stopwatch = std::chrono::steady_clock;

namespace {

double levelNanosecondsPerBuffer() {
    std::vector<float> samples(2048);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (float& s : samples) {
        s = noise(random);
    }
    const float* channels[] = {samples.data()};
    AudioBuffer buffer{channels, 1, 2048, 48000};
    constexpr int kRounds = 200000;
    volatile double sink = 0;
    const auto start = Stopwatch::now();
    for (int i = 0; i < kRounds; ++i) {
        sink = sink + level::normalized(level::rmsOfFirstChannel(buffer));
    }
    const auto elapsed = std::chrono::duration<double, std::nano>(Stopwatch::now() - start).count();
    return elapsed / kRounds;
}

// Main-thread cost of one partial result (join and publish) with `committedChars` already dictated.
double resultMicroseconds(int committedChars) {
    doubles::FakeClock clock;
    doubles::PushAudioInput audio;
    doubles::FakeMicrophoneConsent microphone;
    doubles::ScriptedSpeechService speech;
    doubles::RecordingSoundPlayer sounds;
    SpeechEngine engine({speech, audio, microphone, sounds, clock});
    engine.textBinding().set(QString(committedChars, u'a'));
    engine.start();
    speech.waitIdle();
    QCoreApplication::processEvents();

    constexpr int kResults = 2000;
    QString live;
    for (int i = 0; i < kResults; ++i) {
        live += QStringLiteral("palabra ");  // a partial result grows through its segment
        speech.deliverToLatest(RecognitionResult{live.left(400), false});
    }
    speech.waitIdle();
    const auto start = Stopwatch::now();
    QCoreApplication::processEvents();
    const auto elapsed =
        std::chrono::duration<double, std::micro>(Stopwatch::now() - start).count();
    if (!engine.text().endsWith(live.left(400))) {
        std::fprintf(stderr, "results were not all handled\n");
    }
    engine.stop();
    return elapsed / kResults;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("level of one 2048-frame buffer: %.0f ns\n", levelNanosecondsPerBuffer());
    for (int chars : {0, 15000, 30000, 60000}) {
        std::printf("one recognition result after %5d committed characters: %.2f us\n", chars,
                    resultMicroseconds(chars));
    }
    return 0;
}
