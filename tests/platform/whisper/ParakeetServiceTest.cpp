#include "ParakeetTestModel.h"
#include "WhisperTestSupport.h"
#include "platform/whisper/EncoderPass.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetModel.h"
#include "platform/whisper/ParakeetQuantize.h"
#include "platform/whisper/WhisperErrors.h"
#include "platform/whisper/WhisperSpeechService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonarel::testing {
namespace {

using whisper::ModelKind;
using whisper::WhisperSpeechService;

// The library's own tiny test model, and ours whose pieces are Spanish words and marks.
const QString kLibraryModel = QStringLiteral(SONAREL_PARAKEET_TEST_MODEL);
const QString kParakeet = QStringLiteral(SONAREL_PARAKEET_WORDS_MODEL);
const QString kWhisper = QStringLiteral(SONAREL_TEST_MODEL);

// Text as the library joins word pieces: the pieces' word marks become single spaces between
// words (none before the first), and punctuation pieces stick to the word before them.
bool joinedLikeText(const QString& text, bool punctuation) {
    static const QRegularExpression withMarks(QStringLiteral("^[a-zñí.!,¿?¡]+( [a-zñí.!,¿?¡]+)*$"));
    static const QRegularExpression plain(QStringLiteral("^[a-zñí]+( [a-zñí]+)*$"));
    return (punctuation ? withMarks : plain).match(text).hasMatch() &&
           text.contains(QStringLiteral("hola"));
}

// The same recognizer services and tasks as for whisper, only with a Parakeet model chosen.
class ParakeetService : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = new QTemporaryDir;
        service_ = new WhisperSpeechService({{home_->filePath("vacio")}, 2});
        service_->useModel(kParakeet);
        const QString wav = speechWav(home_->path(), QStringLiteral("voz.wav"),
                                      QStringLiteral("hola, esto es una prueba del dictado"));
        speech_ = new Audio(readAudio(wav));
    }
    static void TearDownTestSuite() {
        delete service_;
        delete speech_;
        delete home_;
    }

    static QTemporaryDir* home_;
    static WhisperSpeechService* service_;
    static Audio* speech_;
};
QTemporaryDir* ParakeetService::home_ = nullptr;
WhisperSpeechService* ParakeetService::service_ = nullptr;
Audio* ParakeetService::speech_ = nullptr;

TEST(ParakeetModelFiles, EachLibrarysModelIsKnownAndBrokenOnesAreNeither) {
    EXPECT_EQ(whisper::modelKind(kLibraryModel), ModelKind::parakeet);
    EXPECT_EQ(whisper::modelKind(kParakeet), ModelKind::parakeet);
    EXPECT_EQ(whisper::modelKind(kWhisper), ModelKind::whisper);
    EXPECT_FALSE(whisper::ParakeetModel::load(kWhisper, 1));
    EXPECT_TRUE(whisper::ParakeetModel::load(kLibraryModel, 1));

    QFile original(kLibraryModel);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    QTemporaryDir dir;
    const QString path = dir.filePath("parakeet.bin");
    QByteArray bigHeader = whole;
    bigHeader[4 + 4 * 5] = char(0x7f);  // a mel count no model has
    for (const QByteArray& broken :
         {whole.left(whole.size() - 1), whole.left(200), bigHeader, whole + QByteArray(3, 'x')}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(broken);
        file.close();
        EXPECT_EQ(whisper::modelKind(path), ModelKind::none) << broken.size();
        WhisperSpeechService service({{dir.filePath("vacio")}, 1});
        service.useModel(path);
        auto recognizer = service.recognizerFor("es-MX");
        ASSERT_TRUE(recognizer);
        EXPECT_FALSE(recognizer->isAvailable());
    }
}

TEST_F(ParakeetService, LiveSpeechGivesPartialsThenTheFinalInTheLibrarysWords) {
    auto recognizer = service_->recognizerFor("es-MX");
    ASSERT_TRUE(recognizer);
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    feed(*request, concatenate(*speech_, silence(1.0, speech_->rate)), true);
    request->endAudio();
    ASSERT_TRUE(collector.waitEnded(90));
    EXPECT_EQ(service_->modelState().state, whisper::ModelLoad::State::ready);

    const auto deliveries = collector.deliveries();
    ASSERT_GE(deliveries.size(), 2u);
    for (size_t i = 0; i + 1 < deliveries.size(); ++i) {
        ASSERT_TRUE(deliveries[i].result) << i;
        EXPECT_FALSE(deliveries[i].result->isFinal) << i;
    }
    const auto& last = deliveries.back();
    ASSERT_TRUE(last.result) << last.error->description.toStdString();
    EXPECT_TRUE(last.result->isFinal);
    EXPECT_FALSE(last.result->text.isEmpty());
    EXPECT_TRUE(joinedLikeText(last.result->text, true)) << last.result->text.toStdString();
    EXPECT_TRUE(last.result->text.contains(QLatin1Char(',')));
}

TEST_F(ParakeetService, FilesGiveOneFinalResultAndSilenceTheNoSpeechCode) {
    auto recognizer = service_->recognizerFor("es-MX");
    Collector spoken;
    recognizer->startTask(recognizer->makeFileRequest(home_->filePath("voz.wav"), {}),
                          spoken.handler());
    ASSERT_TRUE(spoken.waitEnded(90));
    const auto deliveries = spoken.deliveries();
    ASSERT_EQ(deliveries.size(), 1u);
    const auto& result = deliveries[0].result;
    ASSERT_TRUE(result) << deliveries[0].error->code;
    EXPECT_TRUE(result->isFinal);
    EXPECT_FALSE(result->text.isEmpty());
    EXPECT_TRUE(joinedLikeText(result->text, true)) << result->text.toStdString();

    const QString quiet = home_->filePath("silencio.wav");
    ASSERT_TRUE(runTool("sox", {"-n", "-r", "16000", "-c", "1", quiet, "trim", "0", "2"}));
    Collector silent;
    recognizer->startTask(recognizer->makeFileRequest(quiet, {}), silent.handler());
    ASSERT_TRUE(silent.waitEnded(90));
    ASSERT_TRUE(silent.deliveries().back().error);
    EXPECT_EQ(silent.deliveries().back().error->code, whisper::kNoSpeech);
}

TEST_F(ParakeetService, WithoutPunctuationTheModelsMarksAreTakenOff) {
    auto recognizer = service_->recognizerFor("es-MX");
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
        EXPECT_TRUE(joinedLikeText(d.result->text, false)) << d.result->text.toStdString();
    }
}

// The manager installs the published f16 file in its 4-bit form, made here.
TEST_F(ParakeetService, TheQuantizedFormLoadsAndWritesTextThroughTheSameTasks) {
    const QString half = home_->filePath("parakeet-f16.bin");
    const QString quarter = home_->filePath("parakeet-q4_0.bin");
    ASSERT_TRUE(writeParakeetTestModel(half.toStdString(), ParakeetShape::spanishWords,
                                       ParakeetWeights::f16));
    ASSERT_EQ(whisper::quantizeParakeet(half, quarter), std::nullopt);
    EXPECT_EQ(whisper::modelKind(quarter), ModelKind::parakeet);
    EXPECT_LT(QFileInfo(quarter).size(), QFileInfo(half).size());

    WhisperSpeechService service({{home_->filePath("vacio")}, 2});
    service.useModel(quarter);
    auto recognizer = service.recognizerFor("es-MX");
    Collector collector;
    recognizer->startTask(recognizer->makeFileRequest(home_->filePath("voz.wav"), {}),
                          collector.handler());
    ASSERT_TRUE(collector.waitEnded(90));
    const auto deliveries = collector.deliveries();
    ASSERT_TRUE(deliveries.back().result) << deliveries.back().error->code;
    EXPECT_TRUE(joinedLikeText(deliveries.back().result->text, true))
        << deliveries.back().result->text.toStdString();

    // Neither an f32 model nor a cut one is reduced, and nothing is left behind.
    const QString cut = home_->filePath("cortado.bin");
    QFile::copy(half, cut);
    QFile(cut).resize(QFileInfo(half).size() / 2);
    for (const QString& from : {kParakeet, cut, kWhisper}) {
        const QString to = home_->filePath("salida.bin");
        EXPECT_TRUE(whisper::quantizeParakeet(from, to)) << from.toStdString();
        EXPECT_FALSE(QFileInfo::exists(to)) << from.toStdString();
    }
}

// A cancel reaches into the library's computation through its abort callback.
TEST(ParakeetModelDecoding, ARaisedCancelFlagEndsTheDecodingWithoutText) {
    auto model = whisper::ParakeetModel::load(kParakeet, 1);
    ASSERT_TRUE(model);
    const std::vector<float> noise = [] {
        std::vector<float> samples(16000);
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = float((i * 7919) % 200) / 1000.0f - 0.1f;
        }
        return samples;
    }();
    auto decoding = whisper::RecognitionModel::Decoding::of(noise.data(), noise.size());
    EXPECT_EQ(model->decode(decoding).outcome, whisper::RecognitionModel::Outcome::done);
    // The manager's measurement of a Parakeet file goes through the same decoding.
    EXPECT_GT(whisper::timeEncoderPass(kParakeet, 1.0, 1).value_or(0), 0);
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(whisper::timeEncoderPass(kParakeet, 1.0, 1, &cancelled));
    decoding.cancelled = &cancelled;
    const auto decoded = model->decode(decoding);
    EXPECT_EQ(decoded.outcome, whisper::RecognitionModel::Outcome::cancelled);
    EXPECT_TRUE(decoded.text.isEmpty());
}

}  // namespace
}  // namespace sonarel::testing
