// The start and stop sounds played on a private sound server, heard through its virtual
// microphone, which records what its sink plays.
#include "Recorder.h"
#include "SoundServer.h"
#include "engine/SpeechEngine.h"
#include "platform/pulse/PulseSoundPlayer.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace sonarel {
namespace {

using testing::PrivateSoundServer;
using testing::Recorder;
using testing::waitUntil;

// Quieter than any part of a note but its fade, louder than the silence of a null sink.
constexpr float kAudible = 0.005f;

// Where a sound lies in a recording, and the pitch of its first and its last notes.
struct Heard {
    double from = 0;  // seconds from the recording's first frame
    double to = 0;
    double firstPitch = 0;
    double lastPitch = 0;
    float peak = 0;
};

double pitchOf(const float* samples, size_t count, double rate) {
    int crossings = 0;
    for (size_t i = 1; i < count; ++i) {
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    return crossings / 2.0 / (static_cast<double>(count) / rate);
}

std::optional<Heard> heard(const std::vector<float>& samples, double rate) {
    const auto loud = [](float s) { return std::abs(s) > kAudible; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end()) {
        return std::nullopt;
    }
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    Heard h;
    h.from = static_cast<double>(first - samples.begin()) / rate;
    h.to = static_cast<double>(last - samples.begin()) / rate;
    // The loud middle of each note.
    const auto note = static_cast<size_t>(0.04 * rate);
    h.firstPitch = pitchOf(&*first, note, rate);
    h.lastPitch =
        pitchOf(&*(last - static_cast<long>(note) - static_cast<long>(0.02 * rate)), note, rate);
    for (auto it = first; it != last; ++it) {
        h.peak = std::max(h.peak, std::abs(*it));
    }
    return h;
}

bool sinkInputsGone(const PrivateSoundServer& server) {
    const std::optional<QString> inputs = testing::pactl(
        server.address(),
        {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    return inputs && inputs->trimmed().isEmpty();
}

class PulseSounds : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    // Opens the microphone, plays `sound` at once, as a dictation does, and answers what the
    // microphone heard of it once it is over.
    std::optional<Heard> playAndHear(PulseConnection& pulse, PulseSoundPlayer& player,
                                     Sound sound) {
        Recorder recorder(pulse);
        if (recorder.start()) {
            return std::nullopt;
        }
        QElapsedTimer played;
        played.start();
        player.play(sound);
        playSeconds = played.nsecsElapsed() / 1e9;
        // Well past the sound and any latency: what follows is silence again.
        if (!waitUntil([&] { return recorder.seconds() > 1.0; })) {
            return std::nullopt;
        }
        return heard(recorder.samples(), recorder.rate());
    }

    PrivateSoundServer server;
    double playSeconds = 0;  // how long the last `play` took to return
};

TEST_F(PulseSounds, StartRisesStopFallsQuietlyAndBothEndWithinTheStartSoundsHush) {
    PulseConnection pulse(server.address().toStdString());
    PulseSoundPlayer player(pulse);
    for (const Sound sound : {Sound::Start, Sound::Stop}) {
        const std::optional<Heard> h = playAndHear(pulse, player, sound);
        ASSERT_TRUE(h) << "nothing heard";
        std::printf(
            "sound %d: heard from %.3f s to %.3f s of the capture, peak %.3f, play() %.2f ms\n",
            static_cast<int>(sound), h->from, h->to, h->peak, playSeconds * 1000);
        const double low = PulseSoundPlayer::kLowNote;
        const double high = PulseSoundPlayer::kHighNote;
        EXPECT_NEAR(h->firstPitch, sound == Sound::Start ? low : high, 0.05 * high);
        EXPECT_NEAR(h->lastPitch, sound == Sound::Start ? high : low, 0.05 * high);
        EXPECT_NEAR(h->to - h->from,
                    2 * PulseSoundPlayer::kNoteSeconds + PulseSoundPlayer::kGapSeconds, 0.02);
        EXPECT_LE(h->to - h->from, SoundPlayer::kLongest);
        EXPECT_GT(h->peak, PulseSoundPlayer::kPeak * 0.8f);
        EXPECT_LT(h->peak, PulseSoundPlayer::kPeak * 1.1f);
        // What a dictation's recognizer hears as silence covers it.
        EXPECT_LT(h->to, SpeechEngine::kStartSoundHush);
        EXPECT_LT(playSeconds, 0.05) << "play waits for the server";
        // Each sound's stream goes once it has played out.
        EXPECT_TRUE(waitUntil([&] { return sinkInputsGone(server); }));
    }
}

// A player that goes takes its sounds with it, whether the server has made their streams yet or
// they are playing (the server then answers their pending drain, which must not reach it).
TEST_F(PulseSounds, APlayerThatGoesLeavesNoStreamAndNoCallBehind) {
    PulseConnection pulse(server.address().toStdString());
    {
        PulseSoundPlayer player(pulse);
        player.play(Sound::Start);
        player.play(Sound::Stop);
    }
    EXPECT_TRUE(waitUntil([&] { return sinkInputsGone(server); }));
    for (int i = 0; i < 3; ++i) {
        {
            PulseSoundPlayer player(pulse);
            player.play(Sound::Start);
            ASSERT_TRUE(waitUntil([&] { return !sinkInputsGone(server); }));
        }
        EXPECT_TRUE(waitUntil([&] { return sinkInputsGone(server); }));
    }
}

// Without a server nothing plays, and once the server is back the sounds are heard again.
TEST_F(PulseSounds, AMissingServerPlaysNothingUntilItIsBack) {
    PulseConnection pulse(server.address().toStdString());
    PulseSoundPlayer player(pulse);
    server.kill();
    QElapsedTimer played;
    played.start();
    player.play(Sound::Start);
    EXPECT_LT(played.elapsed(), 1000);
    ASSERT_TRUE(server.start());
    const std::optional<Heard> h = playAndHear(pulse, player, Sound::Start);
    ASSERT_TRUE(h) << "nothing heard once the server was back";
    EXPECT_LT(h->firstPitch, h->lastPitch);
}

}  // namespace
}  // namespace sonarel
