#include "TestAudio.h"
#include "engine/FileTranscription.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <thread>

namespace sonarel {
namespace {

using testing::runTool;
using testing::waitUntil;

std::optional<TranscriptionOutcome> transcribe(SpeechService& speech, const QString& path,
                                               const QString& locale = QStringLiteral("es-MX"),
                                               double seconds = 120) {
    std::optional<TranscriptionOutcome> outcome;
    int answers = 0;
    transcribirArchivo(speech, path, locale, [&](TranscriptionOutcome o) {
        outcome = std::move(o);
        ++answers;
    });
    waitUntil([&] { return answers > 0; }, seconds);
    testing::drainPosted();
    EXPECT_LE(answers, 1);
    return outcome;
}

QString failure(const std::optional<TranscriptionOutcome>& outcome) {
    if (!outcome || !std::holds_alternative<FalloVoz>(*outcome)) {
        return QStringLiteral("<no failure>");
    }
    return std::get<FalloVoz>(*outcome).mensaje;
}

// The recognizer's side is scripted here: what reaches the caller, and how often.
class ScriptedTranscription : public ::testing::Test {
protected:
    doubles::ScriptedSpeechService speech;
};

TEST_F(ScriptedTranscription, LocaleWithoutRecognizerOrUnavailableRecognizerFailsByName) {
    speech.localesWithoutRecognizer = {QStringLiteral("xx-YY")};
    EXPECT_EQ(failure(transcribe(speech, "a.wav", "xx-YY")), "No hay reconocedor para xx-YY");
    speech.available = false;
    EXPECT_EQ(failure(transcribe(speech, "a.wav", "es-CL")),
              "Reconocedor no disponible para es-CL");
    EXPECT_TRUE(speech.tasks().empty());
}

TEST_F(ScriptedTranscription, OnlyTheFirstFinalOrErrorCountsAndTheRequestIsPunctuated) {
    std::optional<TranscriptionOutcome> outcome;
    int answers = 0;
    transcribirArchivo(speech, "dictado.wav", "es-MX", [&](TranscriptionOutcome o) {
        outcome = std::move(o);
        ++answers;
    });
    ASSERT_EQ(speech.tasks().size(), 1u);
    auto request =
        std::dynamic_pointer_cast<doubles::ScriptedFileRequest>(speech.tasks()[0]->request);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->path, "dictado.wav");
    EXPECT_TRUE(request->settings.addsPunctuation);

    speech.deliver(0, RecognitionResult{"hola", false});
    speech.waitIdle();
    testing::drainPosted();
    EXPECT_EQ(answers, 0);
    speech.deliver(0, RecognitionResult{"hola mundo", true});
    speech.deliver(0, std::nullopt, RecognitionError{216, "x", "tarde"});
    speech.waitIdle();
    ASSERT_TRUE(waitUntil([&] { return answers > 0; }));
    testing::drainPosted();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(std::get<QString>(*outcome), "hola mundo");

    // An error, even after partial results, becomes its code and description.
    transcribirArchivo(speech, "y.wav", "es-MX", [&](TranscriptionOutcome o) { outcome = o; });
    speech.deliver(1, RecognitionResult{"a medias", false},
                   RecognitionError{2005, "sonarel.whisper", "No se puede."});
    speech.waitIdle();
    ASSERT_TRUE(waitUntil([&] { return failure(outcome) != "<no failure>"; }));
    EXPECT_EQ(failure(outcome), "2005: No se puede.");
}

TEST(ResumeOnceTest, TwoThreadsFinishingAtOnceResumeExactlyOnce) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> resumed{0};
        ResumeOnce once([&](TranscriptionOutcome) { ++resumed; });
        std::atomic<bool> go{false};
        auto racer = [&](TranscriptionOutcome o) {
            while (!go.load()) {
            }
            once.finish(std::move(o));
        };
        std::thread a(racer, QStringLiteral("texto"));
        std::thread b(racer, FalloVoz{QStringLiteral("1: fallo")});
        go = true;
        a.join();
        b.join();
        ASSERT_EQ(resumed.load(), 1);
    }
}

// The real recognizer on the generated model, with files made by the usual tools.
class WhisperFileTranscription : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString models = dir_->filePath("modelos");
        QDir().mkpath(models);
        QFile::link(QStringLiteral(SONAREL_TEST_MODEL), models + "/ggml-tiny-test.bin");
        speech_ = new whisper::WhisperSpeechService({{models}, 2});
        wav_ = testing::speechWav(dir_->path(), "voz.wav",
                                  "buenos días, quiero dictar una nota corta");
    }
    static void TearDownTestSuite() {
        delete speech_;
        delete dir_;
    }
    static QString file(const QString& name) { return dir_->filePath(name); }

    static QTemporaryDir* dir_;
    static whisper::WhisperSpeechService* speech_;
    static QString wav_;
};
QTemporaryDir* WhisperFileTranscription::dir_ = nullptr;
whisper::WhisperSpeechService* WhisperFileTranscription::speech_ = nullptr;
QString WhisperFileTranscription::wav_;

TEST_F(WhisperFileTranscription, EveryFormatGivesAFinalText) {
    ASSERT_FALSE(wav_.isEmpty());
    ASSERT_TRUE(runTool("sox", {wav_, "-r", "44100", "-c", "2", file("estereo.wav")}));
    ASSERT_TRUE(runTool("flac", {"-s", "-f", "-o", file("voz.flac"), wav_}));
    ASSERT_TRUE(runTool("oggenc", {"-Q", "-o", file("voz.ogg"), wav_}));
    ASSERT_TRUE(runTool("opusenc", {"--quiet", wav_, file("voz.opus")}));
    ASSERT_TRUE(runTool("lame", {"--quiet", wav_, file("voz.mp3")}));
    for (const QString name :
         {"voz.wav", "estereo.wav", "voz.flac", "voz.ogg", "voz.opus", "voz.mp3"}) {
        const auto outcome = transcribe(*speech_, file(name));
        ASSERT_TRUE(outcome) << name.toStdString();
        ASSERT_TRUE(std::holds_alternative<QString>(*outcome))
            << name.toStdString() << ": " << failure(outcome).toStdString();
        EXPECT_FALSE(std::get<QString>(*outcome).isEmpty()) << name.toStdString();
    }
}

TEST_F(WhisperFileTranscription, FileLongerThanOneWindowIsTranscribedWhole) {
    // About 40 s: speech, a pause, speech again, so that it takes two windows.
    QStringList pieces;
    for (int i = 0; i < 14; ++i) {
        pieces << wav_;
    }
    ASSERT_TRUE(runTool("sox", QStringList(pieces) << file("larga.wav")));
    const auto outcome = transcribe(*speech_, file("larga.wav"));
    ASSERT_TRUE(outcome && std::holds_alternative<QString>(*outcome))
        << failure(outcome).toStdString();
    EXPECT_GT(std::get<QString>(*outcome).size(), 20);
}

TEST_F(WhisperFileTranscription, BadInputsFailWithTheirReason) {
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(file(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return file(name);
    };
    QFile original(wav_);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray wav = original.readAll();
    QByteArray noChannels = wav;
    noChannels[22] = 0;
    noChannels[23] = 0;
    QByteArray absurdRate = wav;
    absurdRate[24] = 1;
    absurdRate[25] = absurdRate[26] = absurdRate[27] = 0;
    QDir().mkpath(file("carpeta.wav"));
    ::mkfifo(file("tuberia.wav").toLocal8Bit().constData(), 0600);
    ASSERT_TRUE(runTool("sox", {"-n", "-r", "8000", file("dos-horas.flac"), "trim", "0", "7200"}));
    ASSERT_TRUE(runTool("sox", {"-n", "-r", "16000", file("silencio.wav"), "trim", "0", "3"}));

    const std::vector<std::pair<QString, QString>> cases = {
        {file("no-existe.wav"), "2001: "},
        {file("carpeta.wav"), "2002: "},
        {file("tuberia.wav"), "2002: "},
        {write("vacio.wav", {}), "2004: "},
        {write("texto.wav", "esto no es audio, solo texto\n"), "2005: "},
        {write("cortado.wav", wav.left(30)), "2005: "},
        {write("sin-canales.wav", noChannels), "200"},
        {write("frecuencia.wav", absurdRate), "200"},
        {file("dos-horas.flac"), "2007: "},
        {file("silencio.wav"), "1110: "},
    };
    for (const auto& [path, prefix] : cases) {
        const QString message = failure(transcribe(*speech_, path));
        EXPECT_TRUE(message.startsWith(prefix))
            << path.toStdString() << " -> " << message.toStdString();
        EXPECT_GT(message.size(), prefix.size() + 5) << path.toStdString();
    }
}

}  // namespace
}  // namespace sonarel
