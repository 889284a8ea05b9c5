#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/ModelLoad.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

namespace sonarel::whisper {

class TaskRunner;
class RecognitionModel;

// Offline speech recognition with whisper.cpp. The model is the file chosen with `useModel`, or
// else the one the model folders offer (by default the user's `~/.local/share/Sonarel/modelos/`,
// then each system data folder's `sonarel/modelos/`). It loads in the background, so that asking
// for a recognizer never waits: tasks started meanwhile keep their audio until it is ready.
// Every task runs on a thread of its own; the service cancels and joins those still running, and
// the load under way, when it goes away. A second, faster model may be named for the text shown
// while an utterance is spoken (`usePartialModel`); it loads beside the first.
class WhisperSpeechService : public SpeechService {
public:
    struct Options {
        QStringList modelFolders = defaultModelFolders();
        int threads = defaultThreads();
        LiveJob::Tuning live{};  // for measurements
        // Reads a model file; called on a loading thread.
        std::function<std::shared_ptr<RecognitionModel>(const QString& path, int threads)> load =
            defaultLoad;
    };

    struct ModelState {
        QString path;  // empty: no model file at all
        ModelLoad::State state = ModelLoad::State::failed;
    };

    static constexpr const char* kDefaultModel = "ggml-base.bin";
    static QStringList defaultModelFolders();
    static int defaultThreads();
    static std::shared_ptr<RecognitionModel> defaultLoad(const QString& path, int threads);
    // The model file the folders offer: the default model first, then any other multilingual
    // ggml model, or an empty string.
    static QString findModel(const QStringList& folders);
    // Whisper's language for a locale identifier: "es" for every Spanish locale, the language
    // code for other languages the model knows, or an empty string.
    static QString languageFor(const QString& localeId);

    WhisperSpeechService();
    explicit WhisperSpeechService(Options options);
    ~WhisperSpeechService() override;

    void requestAuthorization(std::function<void(SpeechAuthorization)> answer) override;
    std::unique_ptr<SpeechRecognizer> recognizerFor(const QString& localeId) override;

    // Starts loading the model now rather than at the first dictation. Callable from any thread,
    // as are the three below.
    void preload();
    // Uses the model file at `path` from the next recognizer on (an empty path: the folders'
    // choice again), and starts loading it.
    void useModel(const QString& path);
    ModelState modelState();
    // Decodes the text shown while an utterance is spoken with the model file at `path`, from
    // the next recognizer on, and starts loading it; an empty path (or the model in use) leaves
    // all the decoding to the model in use.
    void usePartialModel(const QString& path);
    // Called on the loading thread whenever a load ends.
    void setModelObserver(std::function<void()> observer);

private:
    // The load of the model in use, started anew when the file to use changed; null when there
    // is no model file.
    std::shared_ptr<ModelLoad> currentLoad();
    // The same for the partial model; null when there is none to use.
    std::shared_ptr<ModelLoad> currentPartialLoad();
    // The load of the file at `path` in `load`, kept when it still reads that file. Called with
    // `lock_` held.
    std::shared_ptr<ModelLoad> loadOf(const QString& path, std::shared_ptr<ModelLoad>& load);

    const Options options_;
    std::mutex lock_;
    QString chosen_;
    std::shared_ptr<ModelLoad> load_;
    QString partialChosen_;
    std::shared_ptr<ModelLoad> partialLoad_;
    std::function<void()> observer_;
    std::shared_ptr<TaskRunner> runner_;
};

}  // namespace sonarel::whisper
