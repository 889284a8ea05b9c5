#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "platform/AudioInput.h"

namespace sonarel {

enum class SpeechAuthorization { NotDetermined = 0, Denied = 1, Restricted = 2, Authorized = 3 };

struct RequestSettings {
    bool addsPunctuation = true;
    bool requiresOnDeviceRecognition = false;
    // Names and terms the user dictates, which the recognizer should spell as given.
    QStringList vocabulary;
};

struct RecognitionResult {
    QString text;  // the whole text of the task so far, not an increment
    bool isFinal = false;
};

struct RecognitionError {
    long code = 0;
    QString domain;
    QString description;
};

class RecognitionRequest {
public:
    virtual ~RecognitionRequest() = default;
    // What the request will really do, which may differ from what was asked.
    virtual bool requiresOnDeviceRecognition() const = 0;
};

// A request fed with captured audio. `append` is called from any thread and copies what it keeps.
class AudioBufferRecognitionRequest : public RecognitionRequest {
public:
    virtual void append(const AudioBuffer& buffer) = 0;
    virtual void endAudio() = 0;
};

// A request whose audio is a file that the service reads itself.
class FileRecognitionRequest : public RecognitionRequest {};

class RecognitionTask {
public:
    virtual ~RecognitionTask() = default;
    // Ends the task; callbacks may still arrive afterwards and must be tolerated.
    virtual void cancel() = 0;
};

// Called zero or more times on a thread of the service, with a result, an error, or both.
using RecognitionHandler =
    std::function<void(std::optional<RecognitionResult>, std::optional<RecognitionError>)>;

class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    virtual bool isAvailable() const = 0;
    virtual bool supportsOnDeviceRecognition() const = 0;
    // Calls `ready` once, on any thread, when the recognizer can decode: at once when it already
    // can. `loaded` is false when it never will, as when its model does not load.
    virtual void whenReady(std::function<void(bool loaded)> ready) { ready(isAvailable()); }
    virtual std::shared_ptr<AudioBufferRecognitionRequest> makeAudioBufferRequest(
        const RequestSettings& settings) = 0;
    virtual std::shared_ptr<FileRecognitionRequest> makeFileRequest(
        const QString& path, const RequestSettings& settings) = 0;
    // `request` must come from this recognizer. The service keeps the task running on its own;
    // the handle may be dropped at any time.
    virtual std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                                       RecognitionHandler handler) = 0;
};

class SpeechService {
public:
    virtual ~SpeechService() = default;
    // The answer may arrive on any thread, exactly once.
    virtual void requestAuthorization(std::function<void(SpeechAuthorization)> answer) = 0;
    // A recognizer for a locale identifier such as "es-MX", or null when the locale has none.
    virtual std::unique_ptr<SpeechRecognizer> recognizerFor(const QString& localeId) = 0;
};

}  // namespace sonarel
