#include "WhisperTestSupport.h"
#include "platform/whisper/FileTask.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/RecognitionModel.h"
#include "platform/whisper/Segmenter.h"
#include "platform/whisper/WhisperErrors.h"
#include "platform/whisper/WhisperSpeechService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonarel::testing {
namespace {

using whisper::WhisperSpeechService;

// What a task wrote: every text it delivered (partials too), and whether it ended with the
// no-speech code.
struct Written {
    QStringList texts;
    bool noSpeech = false;
};

Written written(const Collector& collector) {
    Written out;
    for (const auto& delivery : collector.deliveries()) {
        if (delivery.result && !delivery.result->text.isEmpty()) {
            out.texts << delivery.result->text;
        }
        out.noSpeech =
            out.noSpeech || (delivery.error && delivery.error->code == whisper::kNoSpeech);
    }
    return out;
}

// A model that answers every decoding with the same text and no-speech probability, as whisper
// does with a phantom phrase: what only a real model's judgement of the audio decides.
class ScriptedModel : public whisper::RecognitionModel {
public:
    ScriptedModel(QString text, double noSpeech) : text_(std::move(text)), noSpeech_(noSpeech) {}
    Decoded decode(const Decoding&) override {
        ++decodings;
        return {Outcome::done, text_, 0, noSpeech_};
    }
    std::atomic<int> decodings{0};

private:
    const QString text_;
    const double noSpeech_;
};

// Fan-like noise (brown and pink, as sox makes them), speech alone, and the same speech with each
// noise under it from a second before to two after; all at the model's rate.
class NoiseAndSpeech : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString spoken =
            speechWav(dir_->path(), QStringLiteral("gracias.wav"), QStringLiteral("gracias"));
        ASSERT_TRUE(
            runTool("sox", {spoken, "-r", "16000", "-c", "1", path("voz"), "pad", "1", "2"}));
        for (const char* noise : {"brownnoise", "pinknoise"}) {
            const QString name = QString::fromLatin1(noise);
            ASSERT_TRUE(runTool("sox", {"-n", "-r", "16000", "-c", "1", path(name), "synth", "8",
                                        name, "vol", "0.3"}));
            ASSERT_TRUE(runTool("sox", {"-m", "-v", "1", path("voz"), "-v", "1", path(name),
                                        path("voz-" + name), "trim", "0", "4.5"}));
        }
    }
    static void TearDownTestSuite() { delete dir_; }

    static QString path(const QString& name) { return dir_->filePath(name + ".wav"); }
    static inline const QStringList kNoises = {QStringLiteral("brownnoise"),
                                               QStringLiteral("pinknoise")};

    // A file task's outcome with `model`.
    static Written transcribeFile(const QString& file,
                                  std::shared_ptr<whisper::RecognitionModel> model) {
        Collector collector;
        whisper::FileJob job(file, whisper::ModelLoad::finished(QStringLiteral("modelo"), model),
                             "es", true, collector.handler());
        job.run();
        return written(collector);
    }

    // A live task's outcome with `model`, the audio fed as fast as it goes.
    static Written dictate(const Audio& audio, std::shared_ptr<whisper::RecognitionModel> model) {
        whisper::LiveRequest request({});
        Collector collector;
        whisper::LiveJob job(request.stream(),
                             whisper::ModelLoad::finished(QStringLiteral("modelo"), model), "es",
                             true, collector.handler(), {});
        std::thread worker([&] { job.run(); });
        feed(request, audio, false);
        request.endAudio();
        worker.join();
        return written(collector);
    }

    static QTemporaryDir* dir_;
};
QTemporaryDir* NoiseAndSpeech::dir_ = nullptr;

// The energy gate alone: steady noise never makes an utterance worth decoding, whether it is
// there from the start or starts after a quiet moment; speech with the same noise under it does.
TEST_F(NoiseAndSpeech, SteadyNoiseNeverStandsOutAsAVoiceAndSpeechOverItDoes) {
    auto contrastOf = [](const Audio& audio) {
        whisper::Segmenter segmenter({.pause = 0.5, .leadIn = 0.3, .longest = 4, .cutSearch = 2});
        segmenter.append(audio.samples.data(), audio.samples.size());
        double highest = 0;
        while (const std::optional<size_t> cut = segmenter.nextCut()) {
            highest = std::max(highest, segmenter.contrast());
            segmenter.drop(*cut);
        }
        segmenter.flush();
        return std::pair{std::max(highest, segmenter.contrast()), segmenter.heardSpeech()};
    };
    for (const QString& noise : kNoises) {
        const Audio alone = readAudio(path(noise));
        const auto [noiseContrast, noiseHeard] =
            contrastOf(concatenate(silence(1.0, 16000), alone));
        EXPECT_LT(noiseContrast, 2.5) << noise.toStdString();
        EXPECT_FALSE(noiseHeard) << noise.toStdString();
        EXPECT_FALSE(contrastOf(alone).second) << noise.toStdString();
        // Faint against this much noise: whisper's stricter threshold applies to it.
        const auto [speechContrast, speechHeard] = contrastOf(readAudio(path("voz-" + noise)));
        EXPECT_TRUE(speechHeard) << noise.toStdString();
        EXPECT_GE(speechContrast, 3) << noise.toStdString();
        EXPECT_LT(speechContrast, 10) << noise.toStdString();
    }
    EXPECT_GE(contrastOf(readAudio(path("voz"))).first, 10);
}

// The model's no-speech probability decides, for a segment whose voice stood out, whether its
// text was said: a phantom "Gracias." goes, a spoken one stays; nearer the noise the model must
// be surer.
TEST_F(NoiseAndSpeech, APhraseIsKeptOnlyWhenTheModelHeardSpeechAndSurerSoInNoise) {
    const QString phrase = QStringLiteral("Gracias.");
    struct Case {
        QString audio;
        double noSpeech;
        bool kept;
    };
    const QList<Case> cases = {
        {QStringLiteral("voz"), 0.05, true},
        {QStringLiteral("voz"), 0.45, true},
        {QStringLiteral("voz"), 0.8, false},
        {QStringLiteral("voz-pinknoise"), 0.1, true},
        {QStringLiteral("voz-pinknoise"), 0.45, false},
        {QStringLiteral("voz-brownnoise"), 0.45, false},
    };
    for (const Case& c : cases) {
        const std::string label = c.audio.toStdString() + " " + std::to_string(c.noSpeech);
        const Written file =
            transcribeFile(path(c.audio), std::make_shared<ScriptedModel>(phrase, c.noSpeech));
        const Written live =
            dictate(readAudio(path(c.audio)), std::make_shared<ScriptedModel>(phrase, c.noSpeech));
        for (const Written& w : {file, live}) {
            EXPECT_EQ(w.texts.isEmpty(), !c.kept) << label;
            for (const QString& text : w.texts) {
                EXPECT_EQ(text, phrase) << label;
            }
        }
    }
    // Noise alone is never decoded at all: nothing to judge, and nothing said.
    for (const QString& noise : kNoises) {
        auto model = std::make_shared<ScriptedModel>(phrase, 0);
        const Written file = transcribeFile(path(noise), model);
        const Written live =
            dictate(concatenate(silence(1.0, 16000), readAudio(path(noise))), model);
        EXPECT_TRUE(file.texts.isEmpty() && file.noSpeech) << noise.toStdString();
        EXPECT_TRUE(live.texts.isEmpty() && live.noSpeech) << noise.toStdString();
        EXPECT_EQ(model->decodings, 0) << noise.toStdString();
    }
}

// The real recognizer with the test model, through the service: noise gives no text in either
// path, in real time for the live one, and speech over the same noise still gives text.
TEST_F(NoiseAndSpeech, TheRecognizerWritesNothingOverNoiseAndWritesSpeechOverIt) {
    const QString folder = dir_->filePath(QStringLiteral("modelos"));
    QDir().mkpath(folder);
    QFile::link(QStringLiteral(SONAREL_TEST_MODEL), folder + QStringLiteral("/ggml-tiny-test.bin"));
    WhisperSpeechService service({{folder}, 2});
    auto recognizer = service.recognizerFor("es-MX");
    ASSERT_TRUE(recognizer);
    auto transcribe = [&](const QString& file) {
        Collector collector;
        auto task =
            recognizer->startTask(recognizer->makeFileRequest(file, {}), collector.handler());
        EXPECT_TRUE(collector.waitEnded(120));
        return written(collector);
    };
    auto dictate = [&](const Audio& audio, bool realTime) {
        auto request = recognizer->makeAudioBufferRequest({});
        Collector collector;
        auto task = recognizer->startTask(request, collector.handler());
        feed(*request, audio, realTime);
        request->endAudio();
        EXPECT_TRUE(collector.waitEnded(120));
        return written(collector);
    };
    for (const QString& noise : kNoises) {
        const Written file = transcribe(path(noise));
        EXPECT_TRUE(file.texts.isEmpty()) << file.texts.join('|').toStdString();
        EXPECT_TRUE(file.noSpeech) << noise.toStdString();
        const Written live =
            dictate(concatenate(silence(1.0, 16000), readAudio(path(noise))), true);
        EXPECT_TRUE(live.texts.isEmpty()) << live.texts.join('|').toStdString();
        EXPECT_TRUE(live.noSpeech) << noise.toStdString();

        EXPECT_FALSE(transcribe(path("voz-" + noise)).texts.isEmpty()) << noise.toStdString();
        EXPECT_FALSE(dictate(readAudio(path("voz-" + noise)), false).texts.isEmpty())
            << noise.toStdString();
    }
}

}  // namespace
}  // namespace sonarel::testing
