#include "engine/SpeechEngine.h"

#include "engine/TextRules.h"
#include "platform/Logging.h"

// The engine's published state and the editor's view of its text.
namespace sonarel {

QString TextBinding::get() const {
    return engine_.text();
}

void TextBinding::set(const QString& value) const {
    engine_.writeFromEditor(value);
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
