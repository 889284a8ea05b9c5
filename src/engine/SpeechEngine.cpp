#include "engine/SpeechEngine.h"

#include "engine/Hush.h"
#include "engine/Level.h"
#include "engine/Permissions.h"
#include "engine/TextRules.h"
#include "platform/Logging.h"
#include "platform/MainThread.h"

#include <QPointer>

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
const QString kChosenMicrophoneMissing = QStringLiteral(
    "El micrófono elegido no está conectado: se graba con el predeterminado del "
    "escritorio.");
const QString kMicrophoneFailurePrefix = QStringLiteral("No se pudo abrir el micrófono: ");
const QString kModelFailedMessage = QStringLiteral(
    "El modelo de voz no cargó: lo dictado no se pudo transcribir. Elige otro en Modelos de voz.");

}  // namespace

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
    // Until the model is ready, the bound of a segment's decoding does not run: its audio waits
    // for the model, however long it takes to load.
    modelReady_ = false;
    QPointer<SpeechEngine> self(this);
    recognizer_->whenReady([self, generation = ++recognizerGeneration_](bool loaded) {
        postToMain([self, generation, loaded] {
            if (self && self->recognizerGeneration_ == generation) {
                self->modelReady(loaded);
            }
        });
    });
    // The request is there before the microphone opens, so that the first buffer reaches it.
    openRequest();
    if (const std::optional<QString> failure = startAudio()) {
        box_->set(nullptr);
        request_.reset();
        failStart(kMicrophoneFailurePrefix + *failure);
        return;
    }
    // Once the microphone is open, so that the sound never delays it.
    startSounded_ = playsSounds;
    if (startSounded_) {
        services_.sounds.play(Sound::Start);
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
    audio.chooseSource(microphone);
    const AudioFormat format = audio.inputFormat();
    if (format.sampleRate <= 0 || format.channelCount == 0) {
        return kNoInputMessage;
    }
    audio.removeTap();
    QPointer<SpeechEngine> self(this);
    const std::uint64_t session = session_;
    audio.installTap(
        kFramesPerBuffer, format,
        [box = box_, self,
         hush = Hush(playsSounds ? kStartSoundHush : 0)](const AudioBuffer& captured) mutable {
            const AudioBuffer& buffer = hush.apply(captured);
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
    std::optional<QString> failure = audio.start();
    if (!failure && audio.choiceMissing()) {
        setNotice(kChosenMicrophoneMissing);
    }
    return failure;
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
    // The input hands over what it still holds before it stops, and the request leaves the box
    // only then, so that the last frames reach the recognizer too.
    if (services_.audio.isRunning()) {
        services_.audio.stop();
    }
    services_.audio.removeTap();
    // The microphone is closed: the recognizer cannot hear this one.
    if (std::exchange(startSounded_, false)) {
        services_.sounds.play(Sound::Stop);
    }
    box_->set(nullptr);
    setLevel(0);
    // Audio collected during a rotation's wait is decoded too.
    if (request_ && !task_) {
        startTask();
    }
    endSegment(true, std::exchange(request_, {}));
    stopping_ = true;
    settleFinished();
}

void SpeechEngine::finishStop() {
    stopping_ = false;
    if (!status_.isFailed()) {
        setStatus(Status::idle());
    }
    const QString heard = std::exchange(heard_, {});
    if (text::isBlank(heard)) {
        qCDebug(logEngine) << "the dictation ended with no words";
    } else if (onStopped) {
        onStopped(heard);
    }
    if (std::exchange(autoStopped_, false) && onAutoStop) {
        onAutoStop();
    }
    endSession();
}

void SpeechEngine::modelReady(bool loaded) {
    if (modelReady_) {
        return;
    }
    modelReady_ = true;
    finishing_.armDeadlines([this](std::int64_t generation) { return deadlineFor(generation); });
    if (!loaded && (isListening() || stopping_)) {
        // Its tasks fail too, but this says what became of the words.
        setStatus(Status::failed(kModelFailedMessage));
        stop();
    }
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

}  // namespace sonarel
