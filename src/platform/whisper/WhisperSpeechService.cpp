#include "platform/whisper/WhisperSpeechService.h"

#include "platform/whisper/FileTask.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/ModelFile.h"
#include "platform/whisper/TaskRunner.h"
#include "platform/whisper/WhisperModel.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

namespace sonarel::whisper {

namespace {

class WhisperRecognizer : public SpeechRecognizer {
public:
    WhisperRecognizer(std::shared_ptr<ModelLoad> model, std::shared_ptr<ModelLoad> partialModel,
                      QString language, std::shared_ptr<TaskRunner> runner,
                      const LiveJob::Tuning& live)
        : model_(std::move(model)),
          partialModel_(std::move(partialModel)),
          language_(language.toStdString()),
          runner_(std::move(runner)),
          live_(live) {}

    // A model still loading can take requests: their audio waits for it.
    bool isAvailable() const override { return model_->state() != ModelLoad::State::failed; }
    // Everything runs here, but only on a model that loads.
    bool supportsOnDeviceRecognition() const override {
        return model_->state() != ModelLoad::State::failed;
    }

    void whenReady(std::function<void(bool loaded)> ready) override {
        model_->whenDone(std::move(ready));
    }

    std::shared_ptr<AudioBufferRecognitionRequest> makeAudioBufferRequest(
        const RequestSettings& settings) override {
        return std::make_shared<LiveRequest>(settings);
    }
    std::shared_ptr<FileRecognitionRequest> makeFileRequest(
        const QString& path, const RequestSettings& settings) override {
        return std::make_shared<FileRequest>(path, settings);
    }

    std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                               RecognitionHandler handler) override {
        std::shared_ptr<Job> job;
        if (auto live = std::dynamic_pointer_cast<LiveRequest>(request)) {
            job = std::make_shared<LiveJob>(live->stream(), model_, language_,
                                            live->settings().addsPunctuation, std::move(handler),
                                            live_, live->settings().vocabulary, partialModel_);
        } else if (auto file = std::dynamic_pointer_cast<FileRequest>(request)) {
            job = std::make_shared<FileJob>(file->path(), model_, language_,
                                            file->settings().addsPunctuation, std::move(handler));
        } else {
            return nullptr;
        }
        runner_->start(job);
        return std::make_shared<JobTask>(job);
    }

private:
    std::shared_ptr<ModelLoad> model_;
    std::shared_ptr<ModelLoad> partialModel_;  // null: one model decodes everything
    const std::string language_;
    std::shared_ptr<TaskRunner> runner_;
    const LiveJob::Tuning live_;
};

}  // namespace

QStringList WhisperSpeechService::defaultModelFolders() {
    QStringList folders;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!user.isEmpty()) {
        folders << user + QStringLiteral("/Sonarel/modelos");
    }
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        if (data != user) {
            folders << data + QStringLiteral("/sonarel/modelos");
        }
    }
    return folders;
}

int WhisperSpeechService::defaultThreads() {
    // The cores this process may run on, up to four; live decodings take fewer.
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

QString WhisperSpeechService::findModel(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (QFileInfo(dir.filePath(kDefaultModel)).isFile()) {
            return dir.filePath(kDefaultModel);
        }
        // English-only models (".en") cannot hear Spanish.
        QStringList others = dir.entryList({QStringLiteral("ggml-*.bin")}, QDir::Files, QDir::Name);
        others.removeIf([](const QString& name) { return name.contains(QLatin1String(".en")); });
        if (!others.isEmpty()) {
            return dir.filePath(others.first());
        }
    }
    return {};
}

QString WhisperSpeechService::languageFor(const QString& localeId) {
    static const QRegularExpression form(QStringLiteral("^([A-Za-z]{2,3})(?:[-_][A-Za-z0-9]+)*$"));
    const QRegularExpressionMatch match = form.match(localeId);
    if (!match.hasMatch()) {
        return {};
    }
    const QString language = match.captured(1).toLower();
    return WhisperModel::knowsLanguage(language) ? language : QString();
}

WhisperSpeechService::WhisperSpeechService() : WhisperSpeechService(Options{}) {}

WhisperSpeechService::WhisperSpeechService(Options options)
    : options_(std::move(options)), runner_(std::make_shared<TaskRunner>()) {}

WhisperSpeechService::~WhisperSpeechService() {
    runner_->shutdown();
}

void WhisperSpeechService::requestAuthorization(std::function<void(SpeechAuthorization)> answer) {
    // Nothing leaves the machine, so there is nothing to consent to.
    answer(SpeechAuthorization::Authorized);
}

std::unique_ptr<SpeechRecognizer> WhisperSpeechService::recognizerFor(const QString& localeId) {
    const QString language = languageFor(localeId);
    if (language.isEmpty()) {
        return nullptr;
    }
    std::shared_ptr<ModelLoad> load = currentLoad();
    if (!load) {
        return nullptr;
    }
    return std::make_unique<WhisperRecognizer>(std::move(load), currentPartialLoad(), language,
                                               runner_, options_.live);
}

void WhisperSpeechService::preload() {
    currentLoad();
    currentPartialLoad();
}

void WhisperSpeechService::usePartialModel(const QString& path) {
    {
        std::lock_guard guard(lock_);
        partialChosen_ = path;
    }
    currentPartialLoad();
}

void WhisperSpeechService::useModel(const QString& path) {
    {
        std::lock_guard guard(lock_);
        chosen_ = path;
    }
    currentLoad();
}

WhisperSpeechService::ModelState WhisperSpeechService::modelState() {
    const std::shared_ptr<ModelLoad> load = currentLoad();
    if (!load) {
        return {};
    }
    return {load->path(), load->state()};
}

void WhisperSpeechService::setModelObserver(std::function<void()> observer) {
    std::lock_guard guard(lock_);
    observer_ = std::move(observer);
}

std::shared_ptr<RecognitionModel> WhisperSpeechService::defaultLoad(const QString& path,
                                                                    int threads) {
    return loadRecognitionModel(path, threads);
}

namespace {

// Reads one model file on a thread of the service's runner; a load cannot be interrupted, so the
// runner's shutdown waits for it.
class LoadJob : public Job {
public:
    LoadJob(std::shared_ptr<ModelLoad> load,
            std::function<std::shared_ptr<RecognitionModel>(const QString&, int)> read, int threads,
            std::function<void()> observer)
        : load_(std::move(load)),
          read_(std::move(read)),
          threads_(threads),
          observer_(std::move(observer)) {}
    void run() override {
        load_->finish(read_(load_->path(), threads_));
        if (observer_) {
            observer_();
        }
    }
    void cancel() override {}

private:
    std::shared_ptr<ModelLoad> load_;
    std::function<std::shared_ptr<RecognitionModel>(const QString&, int)> read_;
    const int threads_;
    std::function<void()> observer_;
};

}  // namespace

std::shared_ptr<ModelLoad> WhisperSpeechService::currentLoad() {
    std::lock_guard guard(lock_);
    const QString path = chosen_.isEmpty() ? findModel(options_.modelFolders) : chosen_;
    return loadOf(path, load_);
}

std::shared_ptr<ModelLoad> WhisperSpeechService::currentPartialLoad() {
    std::lock_guard guard(lock_);
    const QString path = chosen_.isEmpty() ? findModel(options_.modelFolders) : chosen_;
    if (partialChosen_.isEmpty() || QFileInfo(partialChosen_) == QFileInfo(path)) {
        partialLoad_.reset();
        return nullptr;
    }
    return loadOf(partialChosen_, partialLoad_);
}

std::shared_ptr<ModelLoad> WhisperSpeechService::loadOf(const QString& path,
                                                        std::shared_ptr<ModelLoad>& load) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return nullptr;
    }
    // A model installed, replaced or mended while the program runs is picked up at the next
    // request.
    if (load && load->path() == path && load->readsCurrentFile()) {
        return load;
    }
    // A file that is not a whole model fails at once, without a thread.
    if (modelKind(path) == ModelKind::none) {
        load = ModelLoad::finished(path, nullptr);
        return load;
    }
    load = std::make_shared<ModelLoad>(path);
    runner_->start(std::make_shared<LoadJob>(load, options_.load, options_.threads, observer_));
    return load;
}

}  // namespace sonarel::whisper
