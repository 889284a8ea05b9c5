// The microphone the user chose, on a private sound server with two sources: its virtual
// microphone (the default, silent here) and a tone generator standing for a headset.
#include "SoundServer.h"
#include "engine/Level.h"
#include "platform/pulse/PulseAudioInput.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace sonarel {
namespace {

using testing::waitUntil;

class ChosenSource : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(plugHeadset());
    }

    bool plugHeadset() {
        return testing::pactl(server.address(),
                              {QStringLiteral("load-module"), QStringLiteral("module-sine-source"),
                               QStringLiteral("source_name=cascos"), QStringLiteral("rate=16000"),
                               QStringLiteral("frequency=440")})
            .has_value();
    }

    // Records a few buffers and answers the loudest one's level, or -1 when none came.
    double loudestOfAFewBuffers() {
        std::atomic<int> buffers{0};
        std::atomic<double> loudest{0};
        input.installTap(
            1024, input.inputFormat(),
            [&](const AudioBuffer& buffer) {
                loudest = std::max(loudest.load(), double{level::rmsOfFirstChannel(buffer)});
                ++buffers;
            },
            [](const QString&) {});
        const std::optional<QString> failure = input.start();
        EXPECT_EQ(failure, std::nullopt);
        const bool heard = waitUntil([&] { return buffers >= 4; }, 5);
        input.stop();
        input.removeTap();
        return heard ? loudest.load() : -1;
    }

    testing::PrivateSoundServer server;
    PulseConnection pulse{server.address().toStdString()};
    PulseAudioInput input{pulse};
};

TEST_F(ChosenSource, ListsTheMicrophonesButNotTheOutputsMonitors) {
    const std::vector<AudioSource> sources = input.sources();
    std::vector<QString> names;
    for (const AudioSource& source : sources) {
        names.push_back(source.name);
        EXPECT_FALSE(source.description.isEmpty()) << source.name.toStdString();
    }
    EXPECT_EQ(names, (std::vector<QString>{"vmic", "cascos"}));
}

TEST_F(ChosenSource, RecordsFromTheChosenSourceAndFromTheDefaultWithoutAChoice) {
    input.chooseSource(QStringLiteral("cascos"));
    EXPECT_EQ(input.inputFormat().sampleRate, 16000);
    EXPECT_GT(loudestOfAFewBuffers(), 0.1);
    EXPECT_FALSE(input.choiceMissing());

    input.chooseSource(QString());
    EXPECT_EQ(input.inputFormat().sampleRate, 48000);
    const double silence = loudestOfAFewBuffers();
    EXPECT_GE(silence, 0);
    EXPECT_LT(silence, 0.001);
}

TEST_F(ChosenSource, AMissingChoiceRecordsFromTheDefaultUntilItIsBack) {
    ASSERT_TRUE(testing::pactl(
        server.address(), {QStringLiteral("unload-module"), QStringLiteral("module-sine-source")}));
    input.chooseSource(QStringLiteral("cascos"));
    EXPECT_EQ(input.inputFormat().sampleRate, 48000);
    const double silence = loudestOfAFewBuffers();
    EXPECT_GE(silence, 0);
    EXPECT_LT(silence, 0.001);
    EXPECT_TRUE(input.choiceMissing());

    ASSERT_TRUE(plugHeadset());
    EXPECT_EQ(input.inputFormat().sampleRate, 16000);
    EXPECT_GT(loudestOfAFewBuffers(), 0.1);
    EXPECT_FALSE(input.choiceMissing());
}

}  // namespace
}  // namespace sonarel
