#include "engine/SpeechEngine.h"

#include "engine/Level.h"
#include "engine/Permissions.h"
#include "engine/SpokenCommands.h"
#include "engine/TextRules.h"
#include "platform/Logging.h"
#include "platform/MainThread.h"

#include <QPointer>

#include <algorithm>

namespace sonarel {
namespace {

// Each says where to act on Linux: the model manager ("Modelos de voz") for recognition, the
// desktop's sound settings for the microphone.
const QString kSpeechPermissionMessage =
    QStringLiteral("Falta el permiso de Reconocimiento de voz. Revísalo en Modelos de voz.");
const QString kMicrophonePermissionMessage = QStringLiteral(
    "Falta el permiso del Micrófono. Actívalo en los ajustes de sonido del escritorio.");
const QString kNoInputMessage = QStringLiteral(
    "El dispositivo de entrada no entrega audio. Revisa el micrófono en los ajustes de sonido del "
    "escritorio.");
const QString kMicrophoneFailurePrefix = QStringLiteral("No se pudo abrir el micrófono: ");
const QString kNetworkErrorDomain = QStringLiteral("NSURLErrorDomain");
constexpr long kNotConnectedCode = -1009;

bool isQuietCode(long code) {
    return code == 203 || code == 216 || code == 301 || code == 1110;
}

}  // namespace

QString TextBinding::get() const {
    return engine_.text();
}

void TextBinding::set(const QString& value) const {
    engine_.writeFromEditor(value);
}

SpeechEngine::SpeechEngine(Services services, QObject* parent)
    : QObject(parent),
      services_(services),
      segmentStart_(services.clock.now()),
      sessionStart_(segmentStart_),
      lastVoiceAt_(segmentStart_) {}

SpeechEngine::~SpeechEngine() {
    // The tap refers to this engine; after removeTap it is never called again.
    services_.audio.removeTap();
}

bool SpeechEngine::isListening() const {
    return status_.kind() == Status::Kind::Listening || status_.kind() == Status::Kind::Preparing;
}

int SpeechEngine::wordCount() const {
    return text::wordCount(text_);
}

void SpeechEngine::toggle() {
    if (isListening()) {
        stop();
    } else {
        start();
    }
}

void SpeechEngine::start() {
    if (isListening() || stopping_) {
        return;
    }
    setNotice({});
    inSession_ = true;
    setStatus(Status::preparing());
    const std::uint64_t session = ++session_;
    QPointer<SpeechEngine> self(this);
    requestPermissions(services_.speech, services_.microphone,
                       [self, session](PermissionAnswer answer) {
                           // An answer for a start that was stopped or superseded meanwhile
                           // must not open the microphone.
                           if (!self || self->session_ != session) {
                               return;
                           }
                           if (!answer.speech) {
                               self->failStart(kSpeechPermissionMessage);
                           } else if (!answer.mic) {
                               self->failStart(kMicrophonePermissionMessage);
                           } else {
                               self->begin();
                           }
                       });
}

void SpeechEngine::begin() {
    std::unique_ptr<SpeechRecognizer> recognizer = services_.speech.recognizerFor(localeID);
    if (!recognizer) {
        failStart(QStringLiteral("No hay reconocedor para ") + localeID +
                  QStringLiteral(". Instala un modelo de voz en Modelos de voz."));
        return;
    }
    if (!recognizer->isAvailable()) {
        failStart(QStringLiteral("El reconocedor de ") + localeID +
                  QStringLiteral(" no está disponible ahora mismo: el modelo de voz no carga. "
                                 "Elige otro en Modelos de voz."));
        return;
    }
    recognizer_ = std::move(recognizer);
    heard_.clear();
    // The request is there before the microphone opens, so that the first buffer reaches it.
    openRequest();
    if (const std::optional<QString> failure = startAudio()) {
        box_->set(nullptr);
        request_.reset();
        failStart(kMicrophoneFailurePrefix + *failure);
        return;
    }
    sessionStart_ = services_.clock.now();
    lastVoiceAt_ = sessionStart_;
    setElapsed(0);
    startTask();
    setStatus(Status::listening());
    ticker_ = services_.clock.every(kTickInterval, [this] { tick(); });
}

std::optional<QString> SpeechEngine::startAudio() {
    AudioInput& audio = services_.audio;
    const AudioFormat format = audio.inputFormat();
    if (format.sampleRate <= 0 || format.channelCount == 0) {
        return kNoInputMessage;
    }
    audio.removeTap();
    QPointer<SpeechEngine> self(this);
    const std::uint64_t session = session_;
    audio.installTap(
        kFramesPerBuffer, format,
        [box = box_, self](const AudioBuffer& buffer) {
            box->append(buffer);
            const double rms = level::rmsOfFirstChannel(buffer);
            postToMain([self, rms] {
                if (self) {
                    self->publish(rms);
                }
            });
        },
        [self, session](const QString& description) {
            postToMain([self, session, description] {
                if (self) {
                    self->audioInterrupted(session, description);
                }
            });
        });
    return audio.start();
}

void SpeechEngine::publish(double rms) {
    const double c = level::normalized(rms);
    const double now = services_.clock.now();
    if (c > level::kVoiceThreshold) {
        lastVoiceAt_ = now;
    }
    if (now - levelUpdatedAt_ > level::kPublicationInterval) {
        levelUpdatedAt_ = now;
        setLevel(level_ * level::kSmoothingKeep + c * level::kSmoothingNew);
    }
}

void SpeechEngine::audioInterrupted(std::uint64_t session, const QString& description) {
    if (session != session_ || !isListening()) {
        return;
    }
    // Like a recognition error: the session fails, and the text gathered so far is delivered.
    setStatus(Status::failed(kMicrophoneFailurePrefix + description));
    stop();
}

void SpeechEngine::openRequest() {
    const bool supportsOnDevice = recognizer_->supportsOnDeviceRecognition();
    RequestSettings settings;
    settings.addsPunctuation = addsPunctuation;
    settings.vocabulary = vocabulary;
    settings.requiresOnDeviceRecognition = preferOnDevice && supportsOnDevice;
    request_ = recognizer_->makeAudioBufferRequest(settings);
    setOnDevice(request_->requiresOnDeviceRecognition());
    if (preferOnDevice && !supportsOnDevice) {
        setNotice(QStringLiteral("Dictado sin conexión no disponible para ") + localeID +
                  QStringLiteral(": el audio se procesa fuera de este equipo."));
    }
    box_->set(request_);
}

void SpeechEngine::startTask() {
    if (!recognizer_) {
        return;
    }
    if (!request_) {
        openRequest();
    }
    segmentStart_ = services_.clock.now();
    const std::int64_t taskGeneration = generation_;
    QPointer<SpeechEngine> self(this);
    task_ = recognizer_->startTask(request_, [self, taskGeneration](
                                                 std::optional<RecognitionResult> result,
                                                 std::optional<RecognitionError> error) {
        postToMain([self, taskGeneration, result = std::move(result), error = std::move(error)] {
            if (self) {
                self->handle(result, error, taskGeneration);
            }
        });
    });
}

void SpeechEngine::handle(const std::optional<RecognitionResult>& result,
                          const std::optional<RecognitionError>& error,
                          std::int64_t taskGeneration) {
    if (error) {
        qCDebug(logEngine) << "recognizer error" << error->domain << error->code
                           << error->description;
    }
    if (FinishingSegments::Segment* segment = finishing_.find(taskGeneration)) {
        handleFinishing(*segment, result, error);
        return;
    }
    if (taskGeneration != generation_ || !isListening()) {
        return;
    }
    if (result) {
        live_ = result->text;
        publishText();
        lastVoiceAt_ = services_.clock.now();
        if (!error) {
            if (result->isFinal) {
                rotate(false);
            }
            return;
        }
    }
    if (!error) {
        return;
    }
    if (isQuietCode(error->code)) {
        rotate(false);
        return;
    }
    endSegment(false);
    setStatus(Status::failed(failureMessage(*error)));
    stop();
}

// A segment that ended while its task was still decoding: its results replace its text until
// the final one, an error, or the deadline settles it.
void SpeechEngine::handleFinishing(FinishingSegments::Segment& segment,
                                   const std::optional<RecognitionResult>& result,
                                   const std::optional<RecognitionError>& error) {
    if (result) {
        segment.text = result->text;
        lastVoiceAt_ = services_.clock.now();
    }
    if (!error && !(result && result->isFinal)) {
        publishText();
        return;
    }
    FinishingSegments::finish(segment);
    // The failure is set before the text settles, which may end a stop under way.
    const bool fails = error && !isQuietCode(error->code) && !status_.isFailed();
    if (fails) {
        setStatus(Status::failed(failureMessage(*error)));
    }
    settleFinished();
    if (fails) {
        stop();
    }
}

QString SpeechEngine::failureMessage(const RecognitionError& error) const {
    if (error.domain == kNetworkErrorDomain || error.code == kNotConnectedCode) {
        return QStringLiteral("Sin conexión y el dictado sin conexión no está instalado para ") +
               localeID + QStringLiteral(". Descarga un modelo de voz en Modelos de voz.");
    }
    return QStringLiteral("Error de reconocimiento (") + QString::number(error.code) +
           QStringLiteral("): ") + error.description;
}

void SpeechEngine::commitLive() {
    if (live_.isEmpty()) {
        return;
    }
    FinishingSegments::Segment done;
    done.text = std::exchange(live_, {});
    finishing_.add(std::move(done));
    settleFinished();
}

void SpeechEngine::endSegment(bool finishing) {
    if (!finishing && task_) {
        task_->cancel();
        task_.reset();
    }
    if (request_) {
        request_->endAudio();
        request_.reset();
    }
    if (task_) {
        FinishingSegments::Segment segment;
        segment.generation = generation_;
        segment.task = std::move(task_);
        segment.text = std::exchange(live_, {});
        const std::int64_t taskGeneration = generation_;
        // Posted, so that the timer is not destroyed while it fires.
        QPointer<SpeechEngine> self(this);
        segment.deadline = services_.clock.once(kFinishBound, [self, taskGeneration] {
            postToMain([self, taskGeneration] {
                if (!self) {
                    return;
                }
                if (FinishingSegments::Segment* late = self->finishing_.find(taskGeneration)) {
                    FinishingSegments::finish(*late);
                    self->settleFinished();
                }
            });
        });
        finishing_.add(std::move(segment));
    } else {
        commitLive();
    }
    ++generation_;
}

// Moves the texts of the segments that are done, in the order they were spoken, into the
// committed text; ends a stop once none is left.
void SpeechEngine::settleFinished() {
    QString settled;
    finishing_.takeDone(settled);
    committed_ = appendUtterance(committed_, settled);
    heard_ = appendUtterance(heard_, settled);
    publishText();
    if (stopping_ && finishing_.empty()) {
        finishStop();
    }
}

QString SpeechEngine::appendUtterance(const QString& before, const QString& utterance) const {
    const QString mine = text::replaced(utterance, replacements);
    return spokenCommands ? spoken::append(before, mine) : text::join(before, mine);
}

void SpeechEngine::publishText() {
    setText(text::join(text::join(committed_, finishing_.joined()), live_));
}

QString SpeechEngine::sessionText() const {
    return text::join(text::join(heard_, finishing_.joined()), live_);
}

void SpeechEngine::rotate(bool finishing) {
    if (!isListening() || esperandoTarea_ || stopping_) {
        return;
    }
    endSegment(finishing);
    openRequest();
    const double now = services_.clock.now();
    const double sinceLast = now - lastRotate_;
    lastRotate_ = now;
    const double wait = std::max(kSilenceGap - sinceLast, 0.0);
    if (wait > 0) {
        // The new request already collects the audio; only its task waits.
        esperandoTarea_ = true;
        rotationWait_ = services_.clock.once(wait, [this] {
            if (isListening() && !stopping_) {
                esperandoTarea_ = false;
                startTask();
            }
        });
    } else {
        startTask();
    }
}

void SpeechEngine::tick() {
    if (!isListening() || stopping_) {
        return;
    }
    setElapsed(services_.clock.now() - sessionStart_);
    const double age = services_.clock.now() - segmentStart_;
    const double silence = services_.clock.now() - lastVoiceAt_;
    if (age > kHardRotate) {
        rotate(true);
    } else if (age > kSoftRotate && silence > kSilenceGap) {
        rotate(true);
    }
    if (autoStopSilence > 0 && silence > autoStopSilence && !sessionText().isEmpty()) {
        autoStopped_ = true;
        stop();
    }
}

void SpeechEngine::stop() {
    if (stopping_) {
        return;
    }
    ticker_.reset();
    ++session_;
    esperandoTarea_ = false;
    // A pending rotation must not start a task in a later session: that task would share the
    // generation of the session's own first task.
    rotationWait_.reset();
    box_->set(nullptr);
    if (services_.audio.isRunning()) {
        services_.audio.stop();
        services_.audio.removeTap();
    }
    setLevel(0);
    // Audio collected during a rotation's wait is decoded too.
    if (request_ && !task_) {
        startTask();
    }
    endSegment(true);
    stopping_ = true;
    settleFinished();
}

void SpeechEngine::finishStop() {
    stopping_ = false;
    if (!status_.isFailed()) {
        setStatus(Status::idle());
    }
    const QString heard = std::exchange(heard_, {});
    if (!text::isBlank(heard) && onStopped) {
        onStopped(heard);
    }
    if (std::exchange(autoStopped_, false) && onAutoStop) {
        onAutoStop();
    }
    endSession();
}

void SpeechEngine::failStart(const QString& message) {
    setStatus(Status::failed(message));
    endSession();
}

void SpeechEngine::endSession() {
    if (inSession_) {
        inSession_ = false;
        emit sessionEnded();
    }
}

void SpeechEngine::clear() {
    // Words still being decoded would come back.
    finishing_.cancelAll();
    committed_.clear();
    live_.clear();
    heard_.clear();
    setText({});
    if (stopping_) {
        finishStop();
    } else if (isListening()) {
        rotate(false);
    }
}

void SpeechEngine::writeFromEditor(const QString& value) {
    if (isListening() || stopping_) {
        emit textChanged();
        return;
    }
    committed_ = value;
    live_.clear();
    setText(value);
}

void SpeechEngine::setStatus(Status status) {
    if (status.isFailed()) {
        qCDebug(logEngine) << "dictation failed:" << status.message();
    }
    status_ = std::move(status);
    emit statusChanged();
}

void SpeechEngine::setText(QString text) {
    text_ = std::move(text);
    emit textChanged();
}

void SpeechEngine::setLevel(double level) {
    level_ = level;
    emit levelChanged();
}

void SpeechEngine::setOnDevice(bool onDevice) {
    onDevice_ = onDevice;
    emit onDeviceChanged();
}

void SpeechEngine::setNotice(QString notice) {
    notice_ = std::move(notice);
    emit noticeChanged();
}

void SpeechEngine::setElapsed(double elapsed) {
    elapsed_ = elapsed;
    emit elapsedChanged();
}

}  // namespace sonarel
