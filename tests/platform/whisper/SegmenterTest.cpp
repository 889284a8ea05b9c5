#include "platform/whisper/CpuBudget.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/Segmenter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sonarel::whisper {
namespace {

constexpr size_t samples(double seconds) {
    return size_t(seconds * 16000 + 0.5);
}

enum class Sound { silence, tone, syllables };

// A tone (of up to a second) or syllables stand for a voice: 180 ms loud and 20 ms soft, as the
// detector's noise floor would rise through a steady sound. Silence is zeros.
void add(std::vector<float>& audio, double seconds, Sound sound) {
    for (size_t i = 0; i < samples(seconds); ++i) {
        const bool soft = sound == Sound::syllables && i % samples(0.2) >= samples(0.18);
        const double level = sound == Sound::silence ? 0 : soft ? 0.02 : 0.2;
        audio.push_back(float(level * std::sin(0.2 * double(audio.size()))));
    }
}

constexpr Segmenter::Shape kLive{.pause = 0.5, .leadIn = 0.3, .longest = 4, .cutSearch = 2};

TEST(Segmenter, APauseClosesTheUtteranceALeadInAfterItsVoiceAndSilenceIsNeverKept) {
    std::vector<float> audio;
    add(audio, 1.0, Sound::silence);
    add(audio, 1.0, Sound::tone);
    add(audio, 1.0, Sound::silence);
    Segmenter segmenter(kLive);
    segmenter.append(audio.data(), audio.size());
    const std::optional<size_t> cut = segmenter.nextCut();
    ASSERT_TRUE(cut);
    // The utterance starts a lead-in before the voice and ends a lead-in after it.
    EXPECT_EQ(segmenter.start(), samples(0.7));
    EXPECT_EQ(*cut, samples(1.6));
    EXPECT_EQ(segmenter.speechEnd(), samples(1.3));
    segmenter.drop(*cut);
    EXPECT_FALSE(segmenter.inSpeech());
    EXPECT_FALSE(segmenter.nextCut());
    EXPECT_LE(segmenter.utterance().size(), samples(0.3));
    EXPECT_TRUE(segmenter.heardSpeech());

    Segmenter quiet(kLive);
    std::vector<float> silence;
    add(silence, 6.0, Sound::silence);
    quiet.append(silence.data(), silence.size());
    EXPECT_FALSE(quiet.nextCut());
    EXPECT_FALSE(quiet.heardSpeech());
    EXPECT_LE(quiet.utterance().size(), samples(0.3));
}

TEST(Segmenter, ALongUtteranceIsCutAtItsQuietestFrameAndTheRestGoesOn) {
    std::vector<float> audio;
    add(audio, 3.0, Sound::syllables);
    add(audio, 0.04, Sound::silence);  // a breath between two words
    add(audio, 2.0, Sound::syllables);
    Segmenter segmenter(kLive);
    segmenter.append(audio.data(), audio.size());
    const std::optional<size_t> cut = segmenter.nextCut();
    ASSERT_TRUE(cut);
    EXPECT_EQ(segmenter.utterance().size(), samples(4));
    EXPECT_EQ(*cut, samples(3.0));
    segmenter.drop(*cut);
    EXPECT_TRUE(segmenter.inSpeech());
    EXPECT_EQ(segmenter.start(), samples(3.0));
    EXPECT_TRUE(segmenter.heardSpeech());

    // Windows of a file close only by their length, pauses or not.
    Segmenter windows({.pause = 0, .leadIn = 0.3, .longest = 30, .cutSearch = 10});
    std::vector<float> file;
    for (int i = 0; i < 8; ++i) {
        add(file, 2.0, Sound::syllables);
        add(file, 2.0, Sound::silence);
    }
    windows.append(file.data(), file.size());
    const std::optional<size_t> window = windows.nextCut();
    ASSERT_TRUE(window);
    EXPECT_GE(*window, samples(20));
    EXPECT_LE(*window, samples(30));
    windows.drop(*window);
    EXPECT_FALSE(windows.nextCut());
    windows.flush();
    EXPECT_EQ(windows.start() + windows.utterance().size(), file.size());
}

// A partial decode under way when the input ends is thrown away only for words it did not hear.
TEST(LiveStream, AnEndWithVoiceNotYetTakenMakesThePartialUnderWayStale) {
    std::vector<float> voice;
    add(voice, 0.2, Sound::tone);
    std::vector<float> silence(voice.size(), 0.0f);
    auto feed = [](LiveStream& stream, const std::vector<float>& audio) {
        const float* channels[] = {audio.data()};
        stream.append(AudioBuffer{channels, 1, int(audio.size()), 16000});
    };
    const std::atomic<bool> cancelled{false};
    std::vector<float> taken;

    LiveStream quietEnd;
    feed(quietEnd, voice);
    quietEnd.take(taken, std::chrono::milliseconds(0), cancelled);
    feed(quietEnd, silence);
    quietEnd.end();
    EXPECT_FALSE(quietEnd.partialStale()->load());

    LiveStream wordsAtTheEnd;
    feed(wordsAtTheEnd, silence);
    wordsAtTheEnd.take(taken, std::chrono::milliseconds(0), cancelled);
    feed(wordsAtTheEnd, voice);
    wordsAtTheEnd.end();
    EXPECT_TRUE(wordsAtTheEnd.partialStale()->load());

    LiveStream cancelledTask;
    cancelledTask.abandon();
    EXPECT_TRUE(cancelledTask.partialStale()->load());
}

TEST(CpuBudget, WorkWaitsUntilWhatItSpentIsEarnedBackAtTheAverageItMayUse) {
    CpuBudget budget(1.0, 0.5);  // one core on average
    EXPECT_TRUE(budget.allows(0));
    budget.spend(0.8, 0.0);  // a decoding on two threads for 0.4 s
    EXPECT_FALSE(budget.allows(0.2));
    EXPECT_TRUE(budget.allows(0.31));
    // What was saved up while idle is bounded.
    budget.spend(0.6, 100.0);
    EXPECT_FALSE(budget.allows(100.05));
    EXPECT_TRUE(budget.allows(100.11));
    EXPECT_TRUE(CpuBudget(0, 0).allows(0));
}

}  // namespace
}  // namespace sonarel::whisper
