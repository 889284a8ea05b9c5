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
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace sonarel {
namespace {

using testing::PrivateSoundServer;
using testing::waitUntil;

// The shape of one delivered buffer.
struct Shape {
    bool hasSamples = false;  // a sample array for every channel
    int channelCount = 0;
    int frameCount = 0;
    double sampleRate = 0;
};

// What a tap saw, written on the capture thread and read by the test.
struct Recording {
    std::mutex mutex;
    std::vector<Shape> shapes;
    std::vector<double> levels;        // each buffer's level on the meter's scale
    std::vector<double> secondLevels;  // the same for the second channel, when there is one
    std::atomic<int> buffers{0};
    std::atomic<bool> inTap{false};
    std::atomic<int> interruptions{0};
    QString interruption;
    bool interruptedOnMainThread = false;

    AudioInput::Tap tap() {
        return [this](const AudioBuffer& buffer) {
            inTap = true;
            {
                std::lock_guard lock(mutex);
                const bool hasSamples =
                    buffer.channels != nullptr &&
                    std::all_of(buffer.channels, buffer.channels + buffer.channelCount,
                                [](const float* samples) { return samples != nullptr; });
                shapes.push_back(
                    {hasSamples, buffer.channelCount, buffer.frameCount, buffer.sampleRate});
                levels.push_back(level::normalized(level::rmsOfFirstChannel(buffer)));
                if (hasSamples && buffer.channelCount > 1) {
                    AudioBuffer second = buffer;
                    second.channels = buffer.channels + 1;
                    --second.channelCount;
                    secondLevels.push_back(level::normalized(level::rmsOfFirstChannel(second)));
                }
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
        input.installTap(2048, format, recording.tap(), recording.interrupted());
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
    auto player = testing::playInto({}, voice);
    ASSERT_TRUE(testing::finishPlaying(*player));
    ASSERT_TRUE(recording.waitForBuffers(4));
    input.stop();
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_FALSE(input.isRunning());

    std::lock_guard lock(recording.mutex);
    for (const Shape& shape : recording.shapes) {
        EXPECT_TRUE(shape.hasSamples);
        EXPECT_EQ(shape.channelCount, 2);
        EXPECT_EQ(shape.frameCount, 2048);
        EXPECT_EQ(shape.sampleRate, 48000);
    }
    // Nothing lost or repeated: the frames add up to the time recorded, give or take a buffer
    // and the latency of a loaded machine.
    const double recorded = recording.shapes.size() * 2048.0 / 48000;
    EXPECT_GT(recorded, 0.7 * seconds - 0.3);
    EXPECT_LT(recorded, 1.05 * seconds + 0.1);
    // Silence until the voice, then the voice.
    for (int i = 0; i < beforeVoice; ++i) {
        EXPECT_LT(recording.levels[static_cast<size_t>(i)], level::kVoiceThreshold);
    }
    const double loudest =
        *std::max_element(recording.levels.begin() + beforeVoice, recording.levels.end());
    EXPECT_GT(loudest, level::kVoiceThreshold);
    ASSERT_EQ(recording.secondLevels.size(), recording.levels.size());
    EXPECT_LT(*std::max_element(recording.secondLevels.begin(), recording.secondLevels.end()),
              level::kVoiceThreshold);
    EXPECT_EQ(recording.interruptions, 0);
}

TEST(PulseAudioInput, RemovedTapIsNeverCalledAgainAndStopEndsDelivery) {
    PulseConnection pulse;
    PulseAudioInput input(pulse);
    const AudioFormat format = input.inputFormat();
    for (int session = 0; session < 3; ++session) {
        Recording recording;
        Capture capture(input, recording, format);
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(3)) << "session " << session;
        if (session == 1) {
            // Removed while capture goes on: not running now, and never called again.
            input.removeTap();
            EXPECT_FALSE(recording.inTap);
            const int seen = recording.buffers;
            QThread::msleep(200);
            EXPECT_EQ(recording.buffers, seen);
            EXPECT_TRUE(input.isRunning());
            input.stop();
        } else {
            input.stop();
            const int seen = recording.buffers;
            QThread::msleep(200);
            EXPECT_EQ(recording.buffers, seen) << "session " << session;
            input.removeTap();
        }
        EXPECT_FALSE(input.isRunning());
        EXPECT_EQ(recording.interruptions, 0);
    }
}

TEST(PulseAudioInput, StartSaysWhyItCannotRecord) {
    {
        SCOPED_TRACE("no sound server");
        QTemporaryDir dir;
        PulseConnection pulse("unix:" + dir.filePath(QStringLiteral("native")).toStdString());
        PulseAudioInput input(pulse);
        PulseMicrophoneConsent consent(pulse);
        EXPECT_EQ(input.inputFormat().sampleRate, 0);
        EXPECT_EQ(input.inputFormat().channelCount, 0);
        EXPECT_EQ(input.start(), pulse::kNoServer);
        EXPECT_FALSE(input.isRunning());
        bool granted = false;
        consent.requestAccess([&](bool answer) { granted = answer; });
        EXPECT_TRUE(granted);
    }
    {
        SCOPED_TRACE("a server without any source");
        PrivateSoundServer server(
            QStringLiteral("load-module module-native-protocol-unix "
                           "socket=@SOCKET@\n"));
        ASSERT_TRUE(server.start());
        PulseConnection pulse(server.address().toStdString());
        PulseAudioInput input(pulse);
        EXPECT_EQ(input.inputFormat().sampleRate, 0);
        EXPECT_EQ(input.inputFormat().channelCount, 0);
        EXPECT_EQ(input.start(), pulse::kNoSource);
        EXPECT_FALSE(input.isRunning());
    }
}

// A port on the loopback interface that nobody listens on now.
int freeLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

TEST(PulseMicrophoneConsent, RefusedWhenTheServerTurnsUsAway) {
    // A server that lets in only the clients that know its cookie.
    const int port = freeLoopbackPort();
    PrivateSoundServer server(
        QStringLiteral(
            "load-module module-native-protocol-unix socket=@SOCKET@\n"
            "load-module module-native-protocol-tcp port=%1 listen=127.0.0.1 auth-anonymous=0 "
            "auth-cookie-enabled=1 auth-cookie=@SOCKET@.cookie\n"
            "load-module module-null-sink sink_name=vsink\n")
            .arg(port));
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    QFile wrongCookie(dir.filePath(QStringLiteral("cookie")));
    ASSERT_TRUE(wrongCookie.open(QIODevice::WriteOnly));
    wrongCookie.write(QByteArray(256, 'x'));
    wrongCookie.close();
    qputenv("PULSE_COOKIE", wrongCookie.fileName().toUtf8());

    PulseConnection pulse(QStringLiteral("tcp:127.0.0.1:%1").arg(port).toStdString());
    PulseAudioInput input(pulse);
    PulseMicrophoneConsent consent(pulse);
    bool granted = true;
    consent.requestAccess([&](bool answer) { granted = answer; });
    EXPECT_FALSE(granted);
    EXPECT_EQ(input.inputFormat().sampleRate, 0);
    EXPECT_EQ(input.start(), pulse::kRecordingRefused);
    qunsetenv("PULSE_COOKIE");

    // The same server through its own socket lets us record.
    PulseConnection local(server.address().toStdString());
    PulseMicrophoneConsent localConsent(local);
    localConsent.requestAccess([&](bool answer) { granted = answer; });
    EXPECT_TRUE(granted);
}

TEST(PulseAudioInput, SourceOrServerGoneInterruptsTheCaptureUntilTheyReturn) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.start());
    PulseConnection pulse(server.address().toStdString());
    PulseAudioInput input(pulse);
    const AudioFormat format = input.inputFormat();
    ASSERT_EQ(format.channelCount, 2);
    {
        SCOPED_TRACE("the microphone unplugged");
        Recording recording;
        Capture capture(input, recording, format);
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
    {
        SCOPED_TRACE("the microphone plugged in again");
        ASSERT_TRUE(testing::pactl(
            server.address(),
            {QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
             QStringLiteral("source_name=vmic"), QStringLiteral("master=vsink.monitor")}));
        ASSERT_TRUE(testing::pactl(server.address(),
                                   {QStringLiteral("set-default-source"), QStringLiteral("vmic")}));
        Recording recording;
        Capture capture(input, recording, input.inputFormat());
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(2));
    }
    {
        SCOPED_TRACE("the sound server killed");
        Recording recording;
        Capture capture(input, recording, format);
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(2));
        server.kill();
        ASSERT_TRUE(waitUntil([&] { return recording.interruptions > 0; }));
        EXPECT_FALSE(input.isRunning());
        EXPECT_EQ(recording.interruption, pulse::kServerLost);
        EXPECT_EQ(input.inputFormat().sampleRate, 0);
        EXPECT_EQ(input.start(), pulse::kNoServer);
    }
    {
        SCOPED_TRACE("the sound server back");
        ASSERT_TRUE(server.start());
        Recording recording;
        Capture capture(input, recording, input.inputFormat());
        ASSERT_EQ(capture.started, std::nullopt);
        ASSERT_TRUE(recording.waitForBuffers(2));
        EXPECT_EQ(recording.interruptions, 0);
    }
}

}  // namespace
}  // namespace sonarel
