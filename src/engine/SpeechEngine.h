#pragma once

#include "engine/FinishingSegments.h"
#include "engine/Replacements.h"
#include "engine/RequestBox.h"
#include "engine/Status.h"
#include "platform/AudioInput.h"
#include "platform/Clock.h"
#include "platform/Sounds.h"
#include "platform/SpeechService.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace sonarel {

class SpeechEngine;

// The editor's two-way view of the engine's text.
class TextBinding {
public:
    explicit TextBinding(SpeechEngine& engine) : engine_(engine) {}
    QString get() const;
    // Ignored while a session runs; the engine then notifies `textChanged` so that the editor
    // shows the engine's text again.
    void set(const QString& value) const;

private:
    SpeechEngine& engine_;
};

// The dictation engine: microphone capture, the chain of recognition tasks, the dictated text and
// the values the windows show. Lives on the main thread; every published property notifies its
// signal at every assignment, even when the value is unchanged.
class SpeechEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(double level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool onDevice READ onDevice NOTIFY onDeviceChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)

public:
    struct Services {
        SpeechService& speech;
        AudioInput& audio;
        MicrophoneConsent& microphone;
        SoundPlayer& sounds;
        Clock& clock;
    };

    static constexpr int kFramesPerBuffer = 2048;
    static constexpr double kTickInterval = 0.25;
    static constexpr double kSoftRotate = 40;
    static constexpr double kHardRotate = 55;
    static constexpr double kSilenceGap = 0.6;
    // How long an ended segment's task may take to decode the audio it heard, counted from when
    // its model is ready; past it, its last partial text stands.
    static constexpr double kFinishBound = 3;
    // From the capture's first frame, how long the microphone may hear the start sound: the
    // sound, and the output's latency before it sounds (a Bluetooth headset's among them).
    static constexpr double kStartSoundHush = SoundPlayer::kLongest + 0.3;

    explicit SpeechEngine(Services services, QObject* parent = nullptr);
    ~SpeechEngine() override;

    // Published state.
    const Status& status() const { return status_; }
    const QString& text() const { return text_; }
    double level() const { return level_; }
    bool onDevice() const { return onDevice_; }
    const QString& notice() const { return notice_; }
    double elapsed() const { return elapsed_; }

    // Settings, copied in from the preferences.
    QString localeID = QStringLiteral("es-MX");
    bool preferOnDevice = true;
    bool addsPunctuation = true;
    double autoStopSilence = 0;
    // Applied to each utterance as it is committed: the user's replacements, then the spoken
    // punctuation and layout commands.
    QList<Replacement> replacements;
    bool spokenCommands = true;
    // Names and terms the recognizer is told about.
    QStringList vocabulary;
    // The sound server's source to record from; empty: the desktop's default.
    QString microphone;
    // A sound once the microphone has opened, and another once it has closed; the recognizer
    // hears silence for `kStartSoundHush` instead of the first.
    bool playsSounds = true;
    std::function<void()> onAutoStop;
    // Receives the text heard in the session that ended.
    std::function<void(const QString& text)> onStopped;
    bool modoIntegrado = false;  // the coordinator's flag; the engine never reads it

    void toggle();
    void start();
    // Closes the microphone at once (what it still holds goes to the recognizer), then lets the
    // recognizer finish decoding what it heard (up to `kFinishBound` once its model is ready)
    // before the session ends and its text is delivered. Meanwhile a further start or stop is
    // ignored.
    void stop();
    void clear();

    bool isListening() const;
    bool isStopping() const { return stopping_; }
    // Whether the session's recognizer is still waiting for its model.
    bool isWaitingForModel() const { return inSession_ && !modelReady_; }
    // The text heard in the session under way, decided or not.
    QString sessionText() const;
    int wordCount() const;
    TextBinding textBinding() { return TextBinding(*this); }

signals:
    void statusChanged();
    void textChanged();
    void levelChanged();
    void onDeviceChanged();
    void noticeChanged();
    void elapsedChanged();
    // Once per accepted start, when its session is over: after the stop's delivery, or when the
    // start failed before listening.
    void sessionEnded();

private:
    friend class TextBinding;

    void begin();
    void failStart(const QString& message);
    void endSession();
    std::optional<QString> startAudio();
    void publish(double rms);
    // A fresh request, in the box from now on, so that no audio falls between two tasks.
    void openRequest();
    void startTask();
    void handle(const std::optional<RecognitionResult>& result,
                const std::optional<RecognitionError>& error, std::int64_t taskGeneration);
    void handleFinishing(FinishingSegments::Segment& segment,
                         const std::optional<RecognitionResult>& result,
                         const std::optional<RecognitionError>& error);
    QString failureMessage(const RecognitionError& error) const;
    void commitLive();
    // Ends the running segment. `finishing`: its task goes on decoding the audio it already
    // has, and its text is settled when it is done; otherwise its task is cancelled.
    void endSegment(bool finishing, std::shared_ptr<AudioBufferRecognitionRequest> request);
    // The bound of a finishing segment's decoding, from now.
    std::unique_ptr<Timer> deadlineFor(std::int64_t taskGeneration);
    void modelReady(bool loaded);
    void settleFinished();
    QString appendUtterance(const QString& before, const QString& utterance) const;
    void publishText();
    void rotate(bool finishing);
    void finishStop();
    void tick();
    void audioInterrupted(std::uint64_t session, const QString& description);
    void writeFromEditor(const QString& value);

    void setStatus(Status status);
    void setText(QString text);
    void setLevel(double level);
    void setOnDevice(bool onDevice);
    void setNotice(QString notice);
    void setElapsed(double elapsed);

    Services services_;

    Status status_ = Status::idle();
    QString text_;
    double level_ = 0;
    bool onDevice_ = false;
    QString notice_;
    double elapsed_ = 0;

    std::shared_ptr<RequestBox> box_ = std::make_shared<RequestBox>();
    std::unique_ptr<SpeechRecognizer> recognizer_;
    std::uint64_t recognizerGeneration_ = 0;  // so that a readiness meant for an earlier one waits
    bool modelReady_ = true;
    std::shared_ptr<AudioBufferRecognitionRequest> request_;
    std::shared_ptr<RecognitionTask> task_;
    std::int64_t generation_ = 0;
    QString committed_;
    QString live_;
    double segmentStart_;
    double sessionStart_;
    double lastVoiceAt_;
    std::unique_ptr<Timer> ticker_;
    std::unique_ptr<Timer> rotationWait_;
    FinishingSegments finishing_;
    QString heard_;  // what the session has committed so far
    bool stopping_ = false;
    bool autoStopped_ = false;  // the stop under way was the auto-stop
    double levelUpdatedAt_ = kDistantPast;
    double lastRotate_ = kDistantPast;
    bool esperandoTarea_ = false;
    // Changes at every start and stop, so that answers meant for an earlier one are dropped.
    std::uint64_t session_ = 0;
    bool inSession_ = false;     // from an accepted start until `sessionEnded`
    bool startSounded_ = false;  // the listening session began with its sound
};

}  // namespace sonarel
