#include "engine/SpeechEngine.h"

#include "engine/SpokenCommands.h"
#include "engine/TextRules.h"
#include "platform/Logging.h"
#include "platform/MainThread.h"

#include <QPointer>

#include <algorithm>

// The engine's chain of recognition tasks: requests, results, rotations and the segments that
// are still being decoded.
namespace sonarel {
namespace {

const QString kNetworkErrorDomain = QStringLiteral("NSURLErrorDomain");
constexpr long kNotConnectedCode = -1009;

bool isQuietCode(long code) {
    return code == 203 || code == 216 || code == 301 || code == 1110;
}

}  // namespace

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
    endSegment(false, std::exchange(request_, {}));
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

void SpeechEngine::endSegment(bool finishing,
                              std::shared_ptr<AudioBufferRecognitionRequest> request) {
    if (!finishing && task_) {
        task_->cancel();
        task_.reset();
    }
    if (request) {
        request->endAudio();
    }
    if (task_) {
        FinishingSegments::Segment segment;
        segment.generation = generation_;
        segment.task = std::move(task_);
        segment.text = std::exchange(live_, {});
        if (modelReady_) {
            segment.deadline = deadlineFor(generation_);
        }
        finishing_.add(std::move(segment));
    } else {
        commitLive();
    }
    ++generation_;
}

std::unique_ptr<Timer> SpeechEngine::deadlineFor(std::int64_t taskGeneration) {
    // Posted, so that the timer is not destroyed while it fires.
    QPointer<SpeechEngine> self(this);
    return services_.clock.once(kFinishBound, [self, taskGeneration] {
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
    // The next request is in the box before the old one's audio ends, so that no buffer falls
    // between them.
    std::shared_ptr<AudioBufferRecognitionRequest> ending = std::exchange(request_, {});
    openRequest();
    endSegment(finishing, std::move(ending));
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

}  // namespace sonarel
