#include "WhisperTestSupport.h"
#include "platform/whisper/RecognitionModel.h"
#include "platform/whisper/WhisperSpeechService.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace sonarel::testing {
namespace {

using whisper::RecognitionModel;
using whisper::WhisperSpeechService;

const QString kAccurate = QStringLiteral(SONAREL_PARAKEET_WORDS_MODEL);
const QString kFast = QStringLiteral(SONAREL_TEST_MODEL);

// What the real models decoded, and how many decodings ran at once at most.
struct Decodings {
    std::mutex lock;
    std::vector<std::pair<QString, size_t>> done;  // the model's word, samples decoded
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::atomic<int> loaded{0};
};

// A real model whose every text is one word naming it, so that a result tells which model gave
// each of its parts whatever its random weights write.
class Named : public RecognitionModel {
public:
    Named(std::shared_ptr<RecognitionModel> model, QString word,
          std::shared_ptr<Decodings> decodings)
        : model_(std::move(model)), word_(std::move(word)), decodings_(std::move(decodings)) {}

    Decoded decode(const Decoding& decoding) override {
        const int now = ++decodings_->running;
        int most = decodings_->mostAtOnce;
        while (now > most && !decodings_->mostAtOnce.compare_exchange_weak(most, now)) {
        }
        Decoded decoded = model_->decode(decoding);
        --decodings_->running;
        if (decoded.outcome == Outcome::done) {
            decoded.text = word_;
            std::lock_guard guard(decodings_->lock);
            decodings_->done.push_back({word_, decoding.count});
        }
        return decoded;
    }

private:
    std::shared_ptr<RecognitionModel> model_;
    const QString word_;
    std::shared_ptr<Decodings> decodings_;
};

// A service whose model in use is Parakeet's ("preciso") and whose partial model, when named, is
// whisper's ("rapido").
std::unique_ptr<WhisperSpeechService> twoModels(const QTemporaryDir& home,
                                                std::shared_ptr<Decodings> decodings,
                                                const QString& partial,
                                                whisper::LiveJob::Tuning live = {}) {
    WhisperSpeechService::Options options{{home.filePath("vacio")}, 2};
    options.live = std::move(live);
    options.load = [decodings](const QString& path,
                               int threads) -> std::shared_ptr<RecognitionModel> {
        auto model = whisper::loadRecognitionModel(path, threads);
        ++decodings->loaded;
        if (!model) {
            return nullptr;
        }
        return std::make_shared<Named>(
            model, path == kFast ? QStringLiteral("rapido") : QStringLiteral("preciso"), decodings);
    };
    auto service = std::make_unique<WhisperSpeechService>(options);
    service->useModel(kAccurate);
    service->usePartialModel(partial);
    return service;
}

bool waitLoads(const Decodings& decodings, int count) {
    Collector clock;
    while (decodings.loaded < count && clock.seconds() < 90) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return decodings.loaded >= count;
}

class TwoPass : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = new QTemporaryDir;
        const QString wav = speechWav(home_->path(), QStringLiteral("voz.wav"),
                                      QStringLiteral("hola, esto es una prueba del dictado"));
        const QString converted = home_->filePath(QStringLiteral("voz16.wav"));
        ASSERT_TRUE(runTool("sox", {wav, "-r", "16000", "-c", "1", converted}));
        speech_ = new Audio(readAudio(converted));
    }
    static void TearDownTestSuite() {
        delete speech_;
        delete home_;
    }

    void partialsAndKeptTexts(double speechStopped);

    static QTemporaryDir* home_;
    static Audio* speech_;
};
QTemporaryDir* TwoPass::home_ = nullptr;
Audio* TwoPass::speech_ = nullptr;

// Every result is the kept text of the closed utterances, then at most the open one's.
const QRegularExpression kShown(QStringLiteral("^(preciso( preciso)*( rapido)?|rapido)$"));
// The final text: one kept text for each utterance, at least the two spoken.
const QRegularExpression kKept(QStringLiteral("^preciso( preciso)+$"));
// Every text of one model.
const QRegularExpression kOneModel(QStringLiteral("^preciso( preciso)*$"));

// Two utterances, and the stop while the voice of the second still goes on: every closed
// utterance's text, and the final's, come from the accurate model, and the final covers every
// sample heard, the words after the last pause too. So too without the accurate decoding as soon
// as the voice stops, when a fast partial that heard all of an utterance is there at its close.
TEST_F(TwoPass, PartialsComeFromTheFastModelAndEveryKeptTextFromTheAccurateOne) {
    for (const double speechStopped : {0.15, 0.0}) {
        SCOPED_TRACE(speechStopped);
        partialsAndKeptTexts(speechStopped);
    }
}

void TwoPass::partialsAndKeptTexts(double speechStopped) {
    auto decodings = std::make_shared<Decodings>();
    std::atomic<size_t> covered{0};
    whisper::LiveJob::Tuning live;
    live.speechStopped = speechStopped;
    live.observe = [&](size_t samples, double, bool, const QString&) { covered = samples; };
    auto service = twoModels(*home_, decodings, kFast, live);
    ASSERT_TRUE(waitLoads(*decodings, 2));
    auto recognizer = service->recognizerFor("es-MX");
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    const Audio spoken = concatenate(concatenate(*speech_, silence(1.0, 16000)), *speech_);
    feed(*request, spoken, true);
    // The second utterance is still open while the input is: a fast partial shows it, however
    // late a busy machine makes it.
    const auto fastShown = [&] {
        for (const auto& d : collector.deliveries()) {
            if (d.result && d.result->text.endsWith(QStringLiteral("rapido"))) {
                return true;
            }
        }
        return false;
    };
    while (!fastShown() && collector.seconds() < 120) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fastShown());
    request->endAudio();
    ASSERT_TRUE(collector.waitEnded(120));

    const auto deliveries = collector.deliveries();
    for (const auto& d : deliveries) {
        ASSERT_TRUE(d.result) << d.error->description.toStdString();
        EXPECT_TRUE(kShown.match(d.result->text).hasMatch()) << d.result->text.toStdString();
    }
    const RecognitionResult& last = *deliveries.back().result;
    EXPECT_TRUE(last.isFinal);
    EXPECT_TRUE(kKept.match(last.text).hasMatch()) << last.text.toStdString();
    EXPECT_EQ(covered, spoken.samples.size());
    // The words after the last pause were decoded by the accurate model after the stop.
    std::lock_guard guard(decodings->lock);
    ASSERT_FALSE(decodings->done.empty());
    EXPECT_EQ(decodings->done.back().first, QStringLiteral("preciso"));
    EXPECT_EQ(decodings->mostAtOnce, 1);
}

// No partial model, the model in use named again, a file that is not there or not a model: the
// model in use decodes everything, and the task still gives its text.
TEST_F(TwoPass, WithoutAUsablePartialModelTheModelInUseDecodesEverything) {
    const QString broken = home_->filePath("roto.bin");
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    for (const QString& partial : {QString(), kAccurate, home_->filePath("falta.bin"), broken}) {
        auto decodings = std::make_shared<Decodings>();
        auto service = twoModels(*home_, decodings, partial);
        ASSERT_TRUE(waitLoads(*decodings, 1));
        auto recognizer = service->recognizerFor("es-MX");
        auto request = recognizer->makeAudioBufferRequest({});
        Collector collector;
        auto task = recognizer->startTask(request, collector.handler());
        feed(*request, concatenate(*speech_, silence(0.3, 16000)), true);
        request->endAudio();
        ASSERT_TRUE(collector.waitEnded(120)) << partial.toStdString();
        for (const auto& d : collector.deliveries()) {
            ASSERT_TRUE(d.result) << partial.toStdString();
            EXPECT_TRUE(kOneModel.match(d.result->text).hasMatch()) << partial.toStdString();
        }
        EXPECT_TRUE(collector.deliveries().back().result->isFinal);
        std::lock_guard guard(decodings->lock);
        for (const auto& [word, samples] : decodings->done) {
            EXPECT_EQ(word, QStringLiteral("preciso")) << partial.toStdString();
        }
    }
}

// A rotation: the next task's partials run while the task before it still finishes its words
// with the other model. The two take turns, and each gives its own text; a cancel then ends a
// task promptly with nothing after it.
TEST_F(TwoPass, TasksSideBySideTakeTurnsAndACancelEndsOne) {
    auto decodings = std::make_shared<Decodings>();
    auto service = twoModels(*home_, decodings, kFast);
    ASSERT_TRUE(waitLoads(*decodings, 2));
    auto recognizer = service->recognizerFor("es-MX");
    auto ending = recognizer->makeAudioBufferRequest({});
    Collector endingResults;
    auto endingTask = recognizer->startTask(ending, endingResults.handler());
    feed(*ending, *speech_, false);
    ending->endAudio();
    auto next = recognizer->makeAudioBufferRequest({});
    Collector nextResults;
    auto nextTask = recognizer->startTask(next, nextResults.handler());
    feed(*next, *speech_, true);
    ASSERT_TRUE(endingResults.waitEnded(120));
    EXPECT_EQ(endingResults.deliveries().back().result->text, QStringLiteral("preciso"));

    while (nextResults.deliveries().empty() && nextResults.seconds() < 120) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(nextResults.deliveries().empty());
    nextTask->cancel();
    const size_t atCancel = nextResults.deliveries().size();
    next->endAudio();
    service.reset();  // joins every thread it ran
    EXPECT_EQ(nextResults.deliveries().size(), atCancel);
    EXPECT_EQ(decodings->mostAtOnce, 1);
}

}  // namespace
}  // namespace sonarel::testing
