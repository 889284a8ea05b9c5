#include "WhisperTestSupport.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/ParakeetModel.h"
#include "platform/whisper/WhisperErrors.h"
#include "platform/whisper/WhisperSpeechService.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonarel::testing {
namespace {

using whisper::ModelKind;
using whisper::WhisperSpeechService;

const QString kParakeet = QStringLiteral(SONAREL_PARAKEET_TEST_MODEL);
const QString kWhisper = QStringLiteral(SONAREL_TEST_MODEL);

// The tiny model's vocabulary is "<unk>", "<s>", "</s>" and the letters a to g, so whatever
// its random weights say comes out through the library's own joining as those letters.
bool onlyTestVocabulary(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[a-g<>/unks ]*$"));
    return form.match(text).hasMatch();
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
    EXPECT_EQ(whisper::modelKind(kParakeet), ModelKind::parakeet);
    EXPECT_EQ(whisper::modelKind(kWhisper), ModelKind::whisper);
    EXPECT_FALSE(whisper::ParakeetModel::load(kWhisper, 1));

    QFile original(kParakeet);
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
    EXPECT_TRUE(onlyTestVocabulary(last.result->text)) << last.result->text.toStdString();
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
    EXPECT_TRUE(onlyTestVocabulary(result->text)) << result->text.toStdString();

    const QString quiet = home_->filePath("silencio.wav");
    ASSERT_TRUE(runTool("sox", {"-n", "-r", "16000", "-c", "1", quiet, "trim", "0", "2"}));
    Collector silent;
    recognizer->startTask(recognizer->makeFileRequest(quiet, {}), silent.handler());
    ASSERT_TRUE(silent.waitEnded(90));
    ASSERT_TRUE(silent.deliveries().back().error);
    EXPECT_EQ(silent.deliveries().back().error->code, whisper::kNoSpeech);
}

// A cancel must reach into the library's own graph computation, not wait for a whole pass.
TEST_F(ParakeetService, CancelStopsTheTaskAndNothingArrivesAfterIt) {
    auto recognizer = service_->recognizerFor("es-MX");
    auto request = recognizer->makeAudioBufferRequest({});
    Collector collector;
    auto task = recognizer->startTask(request, collector.handler());
    const Audio twice = concatenate(*speech_, *speech_);
    feed(*request, concatenate(twice, twice), false);
    task->cancel();
    const size_t atCancel = collector.deliveries().size();
    request->endAudio();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(collector.deliveries().size(), atCancel);
}

}  // namespace
}  // namespace sonarel::testing
