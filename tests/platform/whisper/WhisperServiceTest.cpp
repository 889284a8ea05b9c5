#include "WhisperTestSupport.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/WhisperErrors.h"
#include "platform/whisper/WhisperModel.h"
#include "platform/whisper/WhisperSpeechService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <limits>
#include <random>

namespace sonarel::testing {
namespace {

using whisper::WhisperSpeechService;

// A model folder holding the generated test model under a name of its own.
QString modelFolder(QTemporaryDir& dir) {
    const QString folder = dir.filePath(QStringLiteral("modelos"));
    QDir().mkpath(folder);
    QFile::link(QStringLiteral(SONAREL_TEST_MODEL), folder + QStringLiteral("/ggml-tiny-test.bin"));
    return folder;
}

class WhisperService : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = new QTemporaryDir;
        service_ = new WhisperSpeechService({{modelFolder(*home_)}, 2});
        const QString wav = speechWav(home_->path(), QStringLiteral("voz.wav"),
                                      QStringLiteral("hola, esto es una prueba del dictado"));
        speech_ = new Audio(readAudio(wav));
    }
    static void TearDownTestSuite() {
        delete service_;
        delete speech_;
        delete home_;
    }

    std::unique_ptr<SpeechRecognizer> spanish() { return service_->recognizerFor("es-MX"); }

    static QTemporaryDir* home_;
    static WhisperSpeechService* service_;
    static Audio* speech_;
};
QTemporaryDir* WhisperService::home_ = nullptr;
WhisperSpeechService* WhisperService::service_ = nullptr;
Audio* WhisperService::speech_ = nullptr;

TEST_F(WhisperService, SpanishLocalesAndKnownLanguagesHaveRecognizersOthersNone) {
    for (const char* id : {"es", "es-MX", "es-419", "es_PE"}) {
        auto recognizer = service_->recognizerFor(id);
        ASSERT_TRUE(recognizer) << id;
        EXPECT_TRUE(recognizer->isAvailable()) << id;
        EXPECT_TRUE(recognizer->supportsOnDeviceRecognition()) << id;
    }
    EXPECT_TRUE(service_->recognizerFor("en-US"));
    EXPECT_TRUE(service_->recognizerFor("fr"));
    for (const char* id : {"xx-YY", "", "español", "es MX"}) {
        EXPECT_FALSE(service_->recognizerFor(id)) << id;
    }
}

TEST_F(WhisperService, LiveSpeechGivesWholeTextPartialsInOrderThenOneFinal) {
    auto recognizer = spanish();
    auto request = recognizer->makeAudioBufferRequest({});
    EXPECT_TRUE(request->requiresOnDeviceRecognition());
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    // Stereo at the capture's usual 48 kHz, then a pause that closes the utterance.
    const QString converted = home_->filePath(QStringLiteral("voz48.wav"));
    ASSERT_TRUE(runTool("sox", {home_->filePath("voz.wav"), "-r", "48000", "-c", "2", converted}));
    feed(*request, concatenate(readAudio(converted), silence(1.0, 48000, 2)), true);
    // Results come on their own while the task is open: partials during the speech and the
    // utterance's text at the pause. (Their cadence against the clock is a benchmark figure:
    // a busy machine stretches it.)
    const double deadline = collector.seconds() + 90;
    while (collector.deliveries().empty() && collector.seconds() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(collector.deliveries().empty());
    const double spoken = collector.seconds();
    request->endAudio();
    ASSERT_TRUE(collector.waitEnded(spoken + 90));

    const auto deliveries = collector.deliveries();
    ASSERT_GE(deliveries.size(), 2u);
    for (size_t i = 0; i + 1 < deliveries.size(); ++i) {
        ASSERT_TRUE(deliveries[i].result) << i;
        EXPECT_FALSE(deliveries[i].result->isFinal) << i;
        EXPECT_FALSE(deliveries[i].error);
    }
    const auto& last = deliveries.back();
    ASSERT_TRUE(last.result);
    EXPECT_TRUE(last.result->isFinal);
    EXPECT_FALSE(last.result->text.isEmpty());
    EXPECT_GT(last.at, spoken);
    // The final holds what the closed utterance committed.
    EXPECT_EQ(last.result->text, deliveries[deliveries.size() - 2].result->text);
}

// A stop comes as the user finishes speaking: the final result must decode every sample that
// arrived before the audio ended, though no pause closed the utterance.
TEST_F(WhisperService, TheFinalResultCoversEverySampleAppendedBeforeTheAudioEnded) {
    const QString converted = home_->filePath(QStringLiteral("voz16.wav"));
    ASSERT_TRUE(runTool("sox", {home_->filePath("voz.wav"), "-r", "16000", "-c", "1", converted}));
    const Audio speech = readAudio(converted);
    const QString model = QStringLiteral(SONAREL_TEST_MODEL);
    whisper::LiveRequest request({});
    std::atomic<size_t> coveredAtFinal{0};
    std::atomic<bool> finalSeen{false};
    whisper::LiveJob::Tuning tuning;
    tuning.observe = [&](size_t covered, double, bool, const QString&) {
        coveredAtFinal = covered;
    };
    Collector collector;
    whisper::LiveJob job(
        request.stream(),
        whisper::ModelLoad::finished(model, whisper::WhisperModel::load(model, 2)), "es", true,
        [&, handler = collector.handler()](std::optional<RecognitionResult> result,
                                           std::optional<RecognitionError> error) {
            finalSeen = result && result->isFinal;
            handler(std::move(result), std::move(error));
        },
        tuning);
    std::thread worker([&] { job.run(); });
    feed(request, speech, true);
    request.endAudio();  // with the voice still going
    worker.join();
    ASSERT_TRUE(finalSeen);
    EXPECT_EQ(coveredAtFinal, speech.samples.size());
    EXPECT_FALSE(collector.deliveries().back().result->text.isEmpty());
}

TEST_F(WhisperService, SilenceDeliversNothingThenNoSpeechCode) {
    auto recognizer = spanish();
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    feed(*request, silence(2.0), true);
    EXPECT_TRUE(collector.deliveries().empty());
    request->endAudio();
    ASSERT_TRUE(collector.waitEnded(30));
    const auto deliveries = collector.deliveries();
    ASSERT_EQ(deliveries.size(), 1u);
    ASSERT_TRUE(deliveries[0].error);
    EXPECT_EQ(deliveries[0].error->code, 1110);
    EXPECT_EQ(deliveries[0].error->domain, whisper::kErrorDomain);
}

// libsoxr never returns from making a filter for the first two rates, and the last one's output
// outgrows memory: the capture thread would hang or throw instead of the task failing.
TEST_F(WhisperService, AudioAtARateTheResamplerRefusesEndsTheTaskWithAnError) {
    for (double rate : {std::numeric_limits<double>::infinity(), 1e300, 1e-300}) {
        auto recognizer = spanish();
        auto request = recognizer->makeAudioBufferRequest({});
        Collector collector;
        auto task = recognizer->startTask(request, collector.handler());
        Audio odd = silence(0.1);
        odd.rate = rate;
        feed(*request, odd, false);
        ASSERT_TRUE(collector.waitEnded(30)) << rate;
        const auto deliveries = collector.deliveries();
        ASSERT_TRUE(deliveries.back().error) << rate;
        EXPECT_EQ(deliveries.back().error->code, whisper::kRecognitionFailed) << rate;
    }
}

TEST_F(WhisperService, CancelStopsPromptlyAndNothingArrivesAfterIt) {
    // A service of its own, whose end joins every thread it ran: after it nothing can arrive.
    auto service = std::make_unique<WhisperSpeechService>(
        WhisperSpeechService::Options{{modelFolder(*home_)}, 2});
    auto recognizer = service->recognizerFor("es-MX");
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    // Speech without a pause, fed at once: once the first partial is out, the worker is busy
    // decoding the rest when the cancel comes.
    const Audio twice = concatenate(*speech_, *speech_);
    feed(*request, concatenate(twice, twice), false);
    const double deadline = collector.seconds() + 90;
    while (collector.deliveries().empty() && collector.seconds() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(collector.deliveries().empty());
    task->cancel();
    const size_t atCancel = collector.deliveries().size();
    task.reset();
    request->endAudio();
    request.reset();
    recognizer.reset();
    service.reset();
    EXPECT_EQ(collector.deliveries().size(), atCancel);
}

TEST_F(WhisperService, RequestDroppedOnAnotherThreadEndsTheTask) {
    auto recognizer = spanish();
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    task.reset();  // the service keeps the task running
    std::thread capture([request = std::move(request)]() mutable {
        feed(*request, concatenate(*speech_, silence(0.7, speech_->rate)), false);
        request.reset();  // the last reference goes on the capture thread
    });
    capture.join();
    ASSERT_TRUE(collector.waitEnded(90));
    EXPECT_TRUE(collector.deliveries().back().result->isFinal);
}

TEST_F(WhisperService, WithoutPunctuationResultsCarryNoMarks) {
    auto recognizer = spanish();
    RequestSettings settings;
    settings.addsPunctuation = false;
    auto request = recognizer->makeAudioBufferRequest(settings);
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    feed(*request, concatenate(*speech_, silence(0.7, speech_->rate)), false);
    request->endAudio();
    ASSERT_TRUE(collector.waitEnded(90));
    for (const auto& d : collector.deliveries()) {
        ASSERT_TRUE(d.result);
        // Only a mark inside a word (as in "1.5" or "e-mail") stays.
        const QString& t = d.result->text;
        for (qsizetype i = 0; i < t.size(); ++i) {
            EXPECT_TRUE(!t[i].isPunct() ||
                        (i > 0 && i + 1 < t.size() && t[i - 1].isLetterOrNumber() &&
                         t[i + 1].isLetterOrNumber()))
                << t.toStdString();
        }
    }
}

// The first dictation after start-up often comes while the model still loads: asking for a
// recognizer must not wait for it, and what is said meanwhile must still be recognised.
TEST_F(WhisperService, SpeechHeardWhileTheModelLoadsIsRecognisedOnceItIsReady) {
    auto ready = std::make_shared<std::promise<void>>();
    std::shared_future<void> gate = ready->get_future().share();
    std::atomic<int> loads{0};
    WhisperSpeechService::Options options{{modelFolder(*home_)}, 2};
    options.load = [gate, &loads](const QString& path, int threads) {
        ++loads;
        gate.wait();
        return whisper::WhisperModel::load(path, threads);
    };
    WhisperSpeechService service(options);
    // Opened however the test ends: the service waits for its load when it goes away.
    struct Opener {
        std::shared_ptr<std::promise<void>> ready;
        bool opened = false;
        void open() {
            if (!std::exchange(opened, true)) {
                ready->set_value();
            }
        }
        ~Opener() { open(); }
    } opener{ready};
    service.preload();
    EXPECT_EQ(service.modelState().state, whisper::ModelLoad::State::loading);

    auto recognizer = service.recognizerFor("es-MX");
    ASSERT_TRUE(recognizer);
    EXPECT_TRUE(recognizer->isAvailable());
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    feed(*request, concatenate(*speech_, silence(0.7, speech_->rate)), false);
    request->endAudio();
    EXPECT_TRUE(collector.deliveries().empty());

    opener.open();
    ASSERT_TRUE(collector.waitEnded(90));
    const auto last = collector.deliveries().back();
    ASSERT_TRUE(last.result) << last.error->code;
    EXPECT_TRUE(last.result->isFinal);
    EXPECT_FALSE(last.result->text.isEmpty());
    EXPECT_EQ(service.modelState().state, whisper::ModelLoad::State::ready);
    EXPECT_EQ(loads, 1);
}

TEST(WhisperModelFiles, NoModelMeansNoRecognizerAndBrokenModelsAreUnavailable) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("modelos");
    WhisperSpeechService empty({{folder}, 1});
    EXPECT_FALSE(empty.recognizerFor("es-MX"));

    QDir().mkpath(folder);
    const QString path = folder + "/ggml-base.bin";
    QFile original(QStringLiteral(SONAREL_TEST_MODEL));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray head = original.read(4 << 20);
    std::mt19937 random(7);
    QByteArray noise(1 << 16, '\0');
    for (char& c : noise) {
        c = char(random());
    }
    const std::vector<QByteArray> broken = {QByteArray(), head.left(1000), head, noise,
                                            head.left(48) + noise};
    for (size_t i = 0; i < broken.size(); ++i) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(broken[i]);
        file.close();
        WhisperSpeechService service({{folder}, 1});
        auto recognizer = service.recognizerFor("es-MX");
        ASSERT_TRUE(recognizer) << i;
        EXPECT_FALSE(recognizer->isAvailable()) << i;
        EXPECT_FALSE(recognizer->supportsOnDeviceRecognition()) << i;
    }
    // Mended while running: the next request finds the whole model.
    WhisperSpeechService service({{folder}, 1});
    EXPECT_FALSE(service.recognizerFor("es-MX")->isAvailable());
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SONAREL_TEST_MODEL), path));
    EXPECT_TRUE(service.recognizerFor("es-MX")->isAvailable());
}

}  // namespace
}  // namespace sonarel::testing
