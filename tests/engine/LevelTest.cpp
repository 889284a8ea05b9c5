#include "engine/Level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace sonarel;

namespace {

AudioBuffer bufferOf(const std::vector<const float*>& channels, int frames) {
    AudioBuffer buffer;
    buffer.channels = channels.data();
    buffer.channelCount = static_cast<int>(channels.size());
    buffer.frameCount = frames;
    return buffer;
}

}  // namespace

TEST(Level, NormalizedScaleAndClamping) {
    EXPECT_DOUBLE_EQ(level::normalized(0), 0);  // -140 dB gives -1.7, clamped
    EXPECT_DOUBLE_EQ(level::normalized(1), 1);  // 0 dB gives 1.1, clamped
    EXPECT_NEAR(level::normalized(std::pow(10.0, -30.0 / 20.0)), 0.5, 1e-12);
}

TEST(Level, VoiceThresholdSitsAtMinus49Decibels) {
    const double below = std::pow(10.0, -49.01 / 20.0);
    const double above = std::pow(10.0, -48.99 / 20.0);
    EXPECT_LT(level::normalized(below), level::kVoiceThreshold);
    EXPECT_GT(level::normalized(above), level::kVoiceThreshold);
}

TEST(Level, MeasuresOnlyTheFirstChannel) {
    const std::vector<float> silent(2048, 0.0f);
    const std::vector<float> loud(2048, 0.5f);
    EXPECT_FLOAT_EQ(level::rmsOfFirstChannel(bufferOf({silent.data(), loud.data()}, 2048)), 0.0f);
    EXPECT_FLOAT_EQ(level::rmsOfFirstChannel(bufferOf({loud.data(), silent.data()}, 2048)), 0.5f);
}

TEST(Level, BuffersWithoutSamplesAreSilence) {
    EXPECT_FLOAT_EQ(level::rmsOfFirstChannel(AudioBuffer{}), 0.0f);
    const std::vector<float> loud(16, 1.0f);
    EXPECT_FLOAT_EQ(level::rmsOfFirstChannel(bufferOf({loud.data()}, 0)), 0.0f);
}
