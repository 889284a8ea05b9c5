#pragma once

#include "platform/SpeechService.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

namespace sonarel::whisper {

class TaskRunner;
class WhisperModel;

// Offline speech recognition with whisper.cpp. The model is looked for in the model folders
// (by default the user's `~/.local/share/Sonarel/modelos/`, then each system data folder's
// `sonarel/modelos/`), loaded on first use and kept for the life of the service. Every task runs
// on a thread of its own; the service cancels and joins those still running when it goes away.
class WhisperSpeechService : public SpeechService {
public:
    struct Options {
        QStringList modelFolders = defaultModelFolders();
        int threads = defaultThreads();
    };

    static constexpr const char* kDefaultModel = "ggml-base.bin";
    static QStringList defaultModelFolders();
    static int defaultThreads();
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

    // Loads the model now rather than at the first dictation; callable from any thread.
    void preload();

private:
    struct Loaded {
        QString path;
        std::shared_ptr<WhisperModel> model;  // null when the file did not load
    };
    std::optional<Loaded> model();

    const Options options_;
    std::mutex lock_;
    std::optional<Loaded> loaded_;
    std::shared_ptr<TaskRunner> runner_;
};

}  // namespace sonarel::whisper
