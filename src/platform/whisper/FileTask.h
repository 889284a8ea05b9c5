#pragma once

#include "platform/SpeechService.h"
#include "platform/whisper/ModelLoad.h"
#include "platform/whisper/Segmenter.h"
#include "platform/whisper/TaskRunner.h"
#include "platform/whisper/Transcriber.h"

#include <memory>
#include <string>

namespace sonarel::whisper {

class FileRequest : public FileRecognitionRequest {
public:
    FileRequest(QString path, RequestSettings settings)
        : path_(std::move(path)), settings_(settings) {}
    bool requiresOnDeviceRecognition() const override { return true; }
    const QString& path() const { return path_; }
    const RequestSettings& settings() const { return settings_; }

private:
    const QString path_;
    const RequestSettings settings_;
};

// Transcribes a whole file, however long, in windows of up to 30 s cut at quiet points, and
// delivers one final result (or one error).
class FileJob : public Job {
public:
    FileJob(QString path, std::shared_ptr<ModelLoad> model, std::string language,
            bool addsPunctuation, RecognitionHandler handler);
    void run() override;
    void cancel() override { deliver_.cancel(); }

private:
    std::optional<RecognitionError> transcribe(Transcriber& transcriber, Segmenter& segmenter);

    const QString path_;
    std::shared_ptr<ModelLoad> load_;
    const std::string language_;
    const bool addsPunctuation_;
    Delivery deliver_;
};

}  // namespace sonarel::whisper
