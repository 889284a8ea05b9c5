#pragma once

#include "platform/SpeechService.h"

#include <QString>

#include <functional>
#include <mutex>
#include <optional>
#include <variant>

namespace sonarel {

// Why a file transcription failed, in words for the user.
struct FalloVoz {
    QString mensaje;
};

// The whole transcription of a file, or why there is none.
using TranscriptionOutcome = std::variant<QString, FalloVoz>;

// Turns a recognizer's repeated callbacks into one answer: the first `finish` resumes the
// waiting operation, later ones do nothing. Safe to call from any thread.
class ResumeOnce {
public:
    using Continuation = std::function<void(TranscriptionOutcome)>;
    explicit ResumeOnce(Continuation c) : c_(std::move(c)) {}
    void finish(TranscriptionOutcome outcome);

private:
    std::mutex lock_;
    std::optional<Continuation> c_;
};

// Transcribes an audio file with the recognizer for `localeID`, punctuated, on the device when
// the locale allows it. Call on the main thread; `done` runs there once, with the outcome.
// Independent of any dictation: it touches no engine state.
void transcribirArchivo(SpeechService& speech, const QString& path, const QString& localeID,
                        std::function<void(TranscriptionOutcome)> done);

}  // namespace sonarel
