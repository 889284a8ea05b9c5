#include "platform/whisper/WhisperSpeechModels.h"

#include "platform/whisper/EncoderPass.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/ParakeetQuantize.h"
#include "platform/whisper/WhisperSpeechService.h"

namespace sonarel::whisper {

WhisperSpeechModels::WhisperSpeechModels(WhisperSpeechService& service)
    : service_(service), observer_(std::make_shared<Observer>()) {
    // A load under way holds the observer it started with, which may outlive this object.
    service_.setModelObserver([observer = observer_] {
        std::function<void()> call;
        {
            std::lock_guard guard(observer->lock);
            call = observer->call;
        }
        if (call) {
            call();
        }
    });
}

SpeechModels::InUse WhisperSpeechModels::inUse() {
    const WhisperSpeechService::ModelState model = service_.modelState();
    if (model.path.isEmpty()) {
        return {};
    }
    switch (model.state) {
        case ModelLoad::State::loading:
            return {model.path, State::loading};
        case ModelLoad::State::ready:
            return {model.path, State::ready};
        case ModelLoad::State::failed:
            break;
    }
    return {model.path, State::failed};
}

void WhisperSpeechModels::use(const QString& path) {
    service_.useModel(path);
}

void WhisperSpeechModels::useForPartials(const QString& path) {
    service_.usePartialModel(path);
}

void WhisperSpeechModels::setObserver(std::function<void()> observer) {
    std::lock_guard guard(observer_->lock);
    observer_->call = std::move(observer);
}

double WhisperSpeechModels::liveWindow() const {
    return LiveJob::Tuning{}.longestUtterance;
}

int WhisperSpeechModels::liveThreads() const {
    return LiveJob::Tuning{}.threads;
}

std::optional<double> WhisperSpeechModels::encoderCost(const QString& size) const {
    // Parakeet v3's 4-bit encoder, subsampling its frames 8 times where whisper does twice, costs
    // a little more than small's: 0.71-0.79 s over 4.2 s of speech against small's 0.68 s over
    // 4 s, both with 2 threads on the same machine.
    if (size == QLatin1String("parakeet-v3")) {
        return 1.1 * *encoderCost(QStringLiteral("small"));
    }
    // Matrix products dominate the encoder over a short window: its layers times the square of
    // their width.
    const std::optional<ModelShape> shape = ModelShape::named(size);
    if (!shape) {
        return std::nullopt;
    }
    return double(shape->audioLayers) * shape->state * shape->state;
}

std::optional<double> WhisperSpeechModels::timeEncoderPass(const QString& size, const QString& path,
                                                           int threads,
                                                           const std::atomic<bool>& cancelled) {
    if (!path.isEmpty()) {
        return whisper::timeEncoderPass(path, liveWindow(), threads, &cancelled);
    }
    std::optional<ModelShape> shape = ModelShape::named(size);
    if (!shape) {
        return std::nullopt;
    }
    // Only the encoder is timed: one decoder layer spares the memory of the others.
    shape->textLayers = 1;
    return whisper::timeEncoderPass(*shape, liveWindow(), threads, &cancelled);
}

std::optional<QString> WhisperSpeechModels::quantize(const QString& from, const QString& to) {
    return quantizeParakeet(from, to);
}

}  // namespace sonarel::whisper
