#include "SoundServer.h"
#include "engine/Level.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseMessages.h"
#include "platform/pulse/PulseMicrophoneConsent.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace sonarel {
namespace {

using testing::PrivateSoundServer;
using testing::waitUntil;

// What a tap saw, written on the capture thread and read by the test.
struct Recording {
    std::mutex mutex;
    std::vector<std::pair<double, double>> levels;  // each buffer's, left and right channel
    AudioFormat expected;                           // the format the tap was installed with
    int framesPerBuffer = 2048;
    std::atomic<int> buffers{0};
    std::atomic<int> misshapen{0};  // buffers not of 2048 frames with every channel's samples
    std::atomic<int> shorter{0};    // buffers of fewer frames, else well formed: the stop's last
    std::atomic<long> frames{0};
    std::atomic<bool> inTap{false};
    std::atomic<int> interruptions{0};
    QString interruption;
    bool interruptedOnMainThread = false;

    AudioInput::Tap tap() {
        return [this](const AudioBuffer& buffer) {
            inTap = true;
            frames += buffer.frameCount;
            if (buffer.frameCount > 0 && buffer.frameCount < framesPerBuffer) {
                ++shorter;
                ++buffers;
                inTap = false;
                return;
            }
            const bool whole = buffer.channels != nullptr && buffer.frameCount == 2048 &&
                               buffer.channelCount == expected.channelCount &&
                               buffer.sampleRate == expected.sampleRate &&
                               std::all_of(buffer.channels, buffer.channels + buffer.channelCount,
                                           [](const float* samples) { return samples != nullptr; });
            if (!whole) {
                ++misshapen;
            } else {
                AudioBuffer right = buffer;
                ++right.channels;
                --right.channelCount;
                std::lock_guard lock(mutex);
                levels.emplace_back(
                    level::normalized(level::rmsOfFirstChannel(buffer)),
                    right.channelCount ? level::normalized(level::rmsOfFirstChannel(right)) : 0);
            }
            ++buffers;
            // Widens the window in which a removal could race the running tap.
            QThread::usleep(500);
            inTap = false;
        };
    }
    AudioInput::Interruption interrupted() {
        return [this](const QString& description) {
            std::lock_guard lock(mutex);
            interruption = description;
            interruptedOnMainThread = QThread::currentThread() == qApp->thread();
            ++interruptions;
        };
    }
    bool waitForBuffers(int count) {
        const int target = buffers + count;
        return waitUntil([&] { return buffers >= target; }, 5);
    }
};

// Captures into a recording while it lives; on the way out, also when an assertion ends the test
// early, it stops and removes the tap before the recording goes.
class Capture {
public:
    Capture(PulseAudioInput& input, Recording& recording, AudioFormat format) : input_(input) {
        recording.expected = format;
        input.installTap(recording.framesPerBuffer, format, recording.tap(),
                         recording.interrupted());
        started = input.start();
    }
    ~Capture() {
        input_.stop();
        input_.removeTap();
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::optional<QString> started;  // the start's failure, if any

private:
    PulseAudioInput& input_;
};

TEST(PulseAudioInput, DeliversWholeBuffersOfTheVoiceInTheSourceFormat) {
    QTemporaryDir dir;
    const QString mono = testing::speak(dir.path(), QStringLiteral("Hola, esto es una prueba."));
    // The voice on the left channel only, so that channels mixed up in the buffers show.
    const QString voice = dir.filePath(QStringLiteral("izquierda.wav"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("sox"),
                          {mono, QStringLiteral("-c"), QStringLiteral("2"), voice,
                           QStringLiteral("remix"), QStringLiteral("1"), QStringLiteral("0")}),
        0);
    PulseConnection pulse;
    PulseAudioInput input(pulse);
    const AudioFormat format = input.inputFormat();
    // The test desktop's virtual microphone records what its 48 kHz stereo sink plays.
    ASSERT_EQ(format.sampleRate, 48000);
    ASSERT_EQ(format.channelCount, 2);

    Recording recording;
    QElapsedTimer clock;
    clock.start();
    Capture capture(input, recording, format);
    ASSERT_EQ(capture.started, std::nullopt);
    EXPECT_TRUE(input.isRunning());
    ASSERT_TRUE(recording.waitForBuffers(4));
    const int beforeVoice = recording.buffers;
    auto player = testing::playInto(voice);
    ASSERT_TRUE(testing::finishPlaying(*player));
    ASSERT_TRUE(recording.waitForBuffers(4));
    input.stop();
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_FALSE(input.isRunning());

    EXPECT_EQ(recording.misshapen, 0);
    EXPECT_LE(recording.shorter, 1);  // what the stop found part-filled
    std::lock_guard lock(recording.mutex);
    // Nothing lost or repeated: the frames add up to the time recorded, give or take a buffer
    // and the latency of a loaded machine.
    const double recorded = recording.levels.size() * 2048.0 / 48000;
    EXPECT_GT(recorded, 0.7 * seconds - 0.3);
    EXPECT_LT(recorded, 1.05 * seconds + 0.1);
    // Silence until the voice, then the voice, on the left channel only.
    double loudest = 0;
    for (size_t i = 0; i < recording.levels.size(); ++i) {
        const auto [left, right] = recording.levels[i];
        EXPECT_LT(right, level::kVoiceThreshold) << i;
        if (int(i) < beforeVoice) {
            EXPECT_LT(left, level::kVoiceThreshold) << i;
        }
        loudest = std::max(loudest, left);
    }
    EXPECT_GT(loudest, level::kVoiceThreshold);
    EXPECT_EQ(recording.interruptions, 0);
}

// What the capture holds when it stops, less than a buffer, still reaches the tap: the last
// words before a stop.
TEST(PulseAudioInput, StopHandsOverWhatItHolds) {
    PulseConnection pulse;
    PulseAudioInput input(pulse);
    Recording recording;
    recording.framesPerBuffer = 48000 * 60;  // never filled here
    Capture capture(input, recording, input.inputFormat());
    ASSERT_EQ(capture.started, std::nullopt);
    QElapsedTimer running;
    running.start();
    // Audio to hold: the sound server hands it over every 10 ms.
    waitUntil([&] { return running.elapsed() >= 1000; }, 2);
    EXPECT_EQ(recording.buffers, 0);
    input.stop();
    EXPECT_EQ(recording.buffers, 1);
    EXPECT_EQ(recording.shorter, 1);
    EXPECT_GT(recording.frames, 0);
    EXPECT_LE(recording.frames, long(1.5 * 48000 * running.elapsed() / 1000.0));
}

// After removeTap returns, or once stop has, the tap is never called again.
TEST(PulseAudioInput, RemovedTapIsNeverCalledAgainAndStopEndsDelivery) {
    PulseConnection pulse;
    PulseAudioInput input(pulse);
    for (const bool removeFirst : {true, false}) {
        SCOPED_TRACE(removeFirst ? "removed while capturing" : "stopped");
        Recording recording;
        Capture capture(input, recording, input.inputFormat());
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(3));
        if (removeFirst) {
            input.removeTap();
            EXPECT_FALSE(recording.inTap);
            EXPECT_TRUE(input.isRunning());
        } else {
            input.stop();
        }
        const int seen = recording.buffers;
        QThread::msleep(200);
        EXPECT_EQ(recording.buffers, seen);
        input.stop();
        input.removeTap();
        EXPECT_FALSE(input.isRunning());
        EXPECT_EQ(recording.interruptions, 0);
    }
}

TEST(PulseAudioInput, WithoutASoundServerStartSaysSoAndConsentIsGiven) {
    QTemporaryDir dir;
    PulseConnection pulse("unix:" + dir.filePath(QStringLiteral("native")).toStdString());
    PulseAudioInput input(pulse);
    PulseMicrophoneConsent consent(pulse);
    EXPECT_EQ(input.inputFormat().sampleRate, 0);
    EXPECT_EQ(input.start(), pulse::kNoServer);
    EXPECT_FALSE(input.isRunning());
    bool granted = false;
    consent.requestAccess([&](bool answer) { granted = answer; });
    EXPECT_TRUE(granted);
}

// The microphone unplugged interrupts the capture from the capture thread; plugged in again, it
// records. (The server killed is the engine's test.)
TEST(PulseAudioInput, SourceGoneInterruptsTheCaptureUntilItReturns) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.start());
    PulseConnection pulse(server.address().toStdString());
    PulseAudioInput input(pulse);
    {
        Recording recording;
        Capture capture(input, recording, input.inputFormat());
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(2));
        ASSERT_TRUE(testing::pactl(server.address(), {QStringLiteral("unload-module"),
                                                      QStringLiteral("module-remap-source")}));
        ASSERT_TRUE(waitUntil([&] { return recording.interruptions > 0; }));
        EXPECT_FALSE(input.isRunning());
        const int seen = recording.buffers;
        QThread::msleep(100);
        EXPECT_EQ(recording.buffers, seen);
        EXPECT_EQ(recording.interruptions, 1);
        EXPECT_EQ(recording.interruption, pulse::kSourceLost);
        EXPECT_FALSE(recording.interruptedOnMainThread);
    }
    ASSERT_TRUE(testing::pactl(
        server.address(),
        {QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
         QStringLiteral("source_name=vmic"), QStringLiteral("master=vsink.monitor")}));
    ASSERT_TRUE(testing::pactl(server.address(),
                               {QStringLiteral("set-default-source"), QStringLiteral("vmic")}));
    Recording recording;
    Capture capture(input, recording, input.inputFormat());
    ASSERT_EQ(capture.started, std::nullopt);
    EXPECT_TRUE(recording.waitForBuffers(2));
}

}  // namespace
}  // namespace sonarel
