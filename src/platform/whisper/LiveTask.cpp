#include "platform/whisper/LiveTask.h"

#include "platform/whisper/Punctuation.h"
#include "platform/whisper/VoiceActivity.h"
#include "platform/whisper/WhisperErrors.h"

#include <algorithm>

namespace sonarel::whisper {

namespace {
constexpr auto kWaitSlice = std::chrono::milliseconds(20);
constexpr qsizetype kPromptCharacters = 200;

size_t samplesOf(double seconds) {
    return size_t(seconds * kModelRate);
}
}  // namespace

void LiveStream::append(const AudioBuffer& buffer) {
    if (!buffer.channels || buffer.channelCount <= 0 || buffer.frameCount <= 0 ||
        !(buffer.sampleRate > 0)) {
        return;
    }
    {
        std::lock_guard guard(lock_);
        if (ended_) {
            return;
        }
        if (!resampler_ || resampler_->inputRate() != buffer.sampleRate) {
            if (resampler_) {
                resampler_->flush(pending_);
            }
            resampler_ = Resampler::create(buffer.sampleRate);
        }
        if (resampler_) {
            resampler_->processPlanar(buffer.channels, buffer.channelCount, buffer.frameCount,
                                      pending_);
        } else {
            // The job reports it like its other failures: nothing is thrown on this thread.
            refusedRate_ = buffer.sampleRate;
            ended_ = true;
            endedFlag_ = true;
        }
    }
    arrived_.notify_one();
}

void LiveStream::end() {
    {
        std::lock_guard guard(lock_);
        if (ended_) {
            return;
        }
        ended_ = true;
        endedFlag_ = true;
        if (resampler_) {
            resampler_->flush(pending_);
        }
    }
    arrived_.notify_one();
}

std::optional<double> LiveStream::refusedRate() {
    std::lock_guard guard(lock_);
    return refusedRate_;
}

void LiveStream::wake() {
    { std::lock_guard guard(lock_); }
    arrived_.notify_one();
}

bool LiveStream::take(std::vector<float>& into, std::chrono::milliseconds timeout,
                      const std::atomic<bool>& cancelled) {
    std::unique_lock guard(lock_);
    arrived_.wait_for(guard, timeout,
                      [&] { return !pending_.empty() || ended_ || cancelled.load(); });
    into.insert(into.end(), pending_.begin(), pending_.end());
    pending_.clear();
    return ended_;
}

LiveJob::LiveJob(std::shared_ptr<LiveStream> stream, std::shared_ptr<ModelLoad> model,
                 std::string language, bool addsPunctuation, RecognitionHandler handler,
                 Tuning tuning)
    : stream_(std::move(stream)),
      load_(std::move(model)),
      language_(std::move(language)),
      addsPunctuation_(addsPunctuation),
      deliver_(std::move(handler)),
      tuning_(tuning) {}

void LiveJob::cancel() {
    deliver_.cancel();
    stream_->end();
}

void LiveJob::run() {
    const size_t frame = VoiceActivity::kFrame;
    const size_t step = samplesOf(tuning_.partialStep) / frame * frame;
    const size_t leadIn = samplesOf(tuning_.leadIn) / frame * frame;
    const size_t pauseFrames = size_t(tuning_.pause * kModelRate / frame);
    const size_t longest = samplesOf(tuning_.longestUtterance);

    VoiceActivity voice;
    std::vector<float> incoming;
    size_t classified = 0;    // samples of the utterance already classified
    size_t silentFrames = 0;  // since the last voiced frame
    size_t speechEnd = 0;     // end of the last voiced frame in the utterance
    size_t decodedAt = 0;     // length of the utterance at the last partial decode
    bool inSpeech = false;
    bool heardSpeech = false;
    bool ended = false;
    std::optional<QString> partial;  // the text of the utterance's first `decodedAt` samples
    // Closes the utterance at `end`; a partial that already heard all its speech is its text.
    auto close = [&](size_t end) {
        if (partial && decodedAt >= speechEnd) {
            if (!partial->isEmpty()) {
                committed_.append(*partial);
            }
            return true;
        }
        return commit(end);
    };

    while (!deliver_.isCancelled()) {
        if (!ended) {
            ended = stream_->take(incoming, kWaitSlice, *deliver_.cancelledFlag());
        }
        // Whole steps at a time, so that pauses are found where they are even when audio
        // arrives in bursts; whatever is left over waits for more.
        while (incoming.size() >= step || (ended && !incoming.empty())) {
            const size_t n = std::min(step, incoming.size());
            utterance_.insert(utterance_.end(), incoming.begin(), incoming.begin() + n);
            consumed_ += n;
            incoming.erase(incoming.begin(), incoming.begin() + n);
            for (bool voiced :
                 voice.classify(utterance_.data() + classified, utterance_.size() - classified)) {
                classified += frame;
                if (voiced) {
                    inSpeech = heardSpeech = true;
                    silentFrames = 0;
                    speechEnd = classified;
                } else {
                    ++silentFrames;
                }
            }
            if (!inSpeech) {
                if (utterance_.size() > leadIn) {
                    const size_t excess = (utterance_.size() - leadIn) / frame * frame;
                    drop(excess);
                    classified -= excess;
                }
                decodedAt = 0;
                partial.reset();
            } else if (silentFrames >= pauseFrames) {
                const size_t end = std::min(utterance_.size(), speechEnd + leadIn);
                if (!close(end)) {
                    return;
                }
                drop(end);
                classified = classified > end ? classified - end : 0;
                speechEnd = 0;
                inSpeech = false;
                decodedAt = 0;
                partial.reset();
                deliver(RecognitionResult{wholeText({}), false}, false);
            } else if (utterance_.size() >= longest) {
                const size_t cut = quietestCut();
                if (!commit(cut)) {
                    return;
                }
                drop(cut);
                classified -= cut;
                speechEnd = speechEnd > cut ? speechEnd - cut : 0;
                decodedAt = 0;
                partial.reset();
                deliver(RecognitionResult{wholeText({}), false}, false);
            }
        }
        // A partial decode only when nothing waits: behind the input it would show old audio.
        if (inSpeech && !ended && incoming.size() < step && utterance_.size() >= decodedAt + step) {
            decodedAt = utterance_.size();
            partial = decode(utterance_.size(), true);
            if (deliver_.isCancelled()) {
                return;
            }
            if (!partial) {
                // The input ended meanwhile: the last words are decoded as the final text now.
                decodedAt = 0;
                continue;
            }
            deliver(RecognitionResult{wholeText(*partial), false}, true);
        }
        if (ended && incoming.empty()) {
            if (const std::optional<double> rate = stream_->refusedRate()) {
                deliver_(std::nullopt,
                         makeError(
                             kRecognitionFailed,
                             QStringLiteral("El reconocedor no admite audio a %1 Hz.").arg(*rate)));
                return;
            }
            if (inSpeech && !close(utterance_.size())) {
                return;
            }
            if (heardSpeech) {
                decodeSeconds_ = 0;
                deliver(RecognitionResult{wholeText({}), true}, false);
            } else {
                deliver_(std::nullopt, makeError(kNoSpeech, QStringLiteral("No se detectó voz.")));
            }
            return;
        }
    }
}

bool LiveJob::commit(size_t end) {
    const std::optional<QString> text = decode(end, false);
    if (!text) {
        return false;
    }
    if (!text->isEmpty()) {
        committed_.append(*text);
    }
    return true;
}

std::optional<QString> LiveJob::decode(size_t end, bool partial) {
    if (!model_) {
        // The audio heard while the model loads waits in the stream and the utterance.
        model_ = load_->wait(deliver_.cancelledFlag());
    }
    if (deliver_.isCancelled()) {
        return std::nullopt;
    }
    if (!model_) {
        deliver_(std::nullopt, makeError(kRecognitionFailed,
                                         QStringLiteral("El modelo de voz no está disponible.")));
        deliver_.cancel();  // the task is over
        return std::nullopt;
    }
    WhisperModel::Decoding decoding = WhisperModel::Decoding::of(utterance_.data(), end);
    decoding.language = language_.c_str();
    if (!partial && !committed_.isEmpty()) {
        decoding.prompt = committed_.last().right(kPromptCharacters);
    }
    // A cancel also ends the input, so that flag stops a partial decode either way.
    decoding.cancelled = partial ? stream_->endedFlag() : deliver_.cancelledFlag();
    const auto start = std::chrono::steady_clock::now();
    const WhisperModel::Decoded decoded = model_->decode(decoding);
    decodeSeconds_ =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    switch (decoded.outcome) {
        case WhisperModel::Outcome::done:
            return addsPunctuation_ ? decoded.text : withoutPunctuation(decoded.text);
        case WhisperModel::Outcome::cancelled:
            return std::nullopt;
        case WhisperModel::Outcome::failed:
            break;
    }
    deliver_(std::nullopt, makeError(kRecognitionFailed,
                                     QStringLiteral("El reconocedor no pudo procesar el audio.")));
    deliver_.cancel();
    return std::nullopt;
}

void LiveJob::deliver(RecognitionResult result, bool partial) {
    if (tuning_.observe) {
        tuning_.observe(consumed_, decodeSeconds_, partial, result.text);
    }
    deliver_(std::move(result));
}

QString LiveJob::wholeText(const QString& partial) const {
    QStringList parts = committed_;
    if (!partial.isEmpty()) {
        parts.append(partial);
    }
    return parts.join(QLatin1Char(' '));
}

// Where to cut an utterance that grew too long: the quietest frame of its last two seconds.
size_t LiveJob::quietestCut() const {
    const size_t frame = VoiceActivity::kFrame;
    const size_t last = utterance_.size() / frame * frame;
    const size_t first = last > samplesOf(2) ? last - samplesOf(2) : frame;
    size_t best = last;
    double bestEnergy = 1e9;
    for (size_t at = first; at + frame <= last; at += frame) {
        const double e = VoiceActivity::energy(utterance_.data() + at, frame);
        if (e < bestEnergy) {
            bestEnergy = e;
            best = at;
        }
    }
    return std::max(best, frame);
}

void LiveJob::drop(size_t count) {
    utterance_.erase(utterance_.begin(), utterance_.begin() + std::min(count, utterance_.size()));
}

}  // namespace sonarel::whisper
