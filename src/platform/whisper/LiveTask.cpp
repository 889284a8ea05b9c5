#include "platform/whisper/LiveTask.h"

#include "platform/whisper/SpeechEvidence.h"
#include "platform/whisper/VoiceActivity.h"
#include "platform/whisper/WhisperErrors.h"

#include <algorithm>

namespace sonarel::whisper {

namespace {
constexpr auto kWaitSlice = std::chrono::milliseconds(20);
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
            partialStale_ = true;
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
        if (resampler_) {
            resampler_->flush(pending_);
        }
        // The worker takes everything before it decodes, so what waits here came after the
        // decoding under way began.
        if (VoiceActivity::mayHoldSpeech(pending_.data(), pending_.size())) {
            partialStale_ = true;
        }
    }
    arrived_.notify_one();
}

void LiveStream::abandon() {
    partialStale_ = true;
    end();
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
                 Tuning tuning, QStringList vocabulary, std::shared_ptr<ModelLoad> partialModel)
    : stream_(std::move(stream)),
      deliver_(std::move(handler)),
      tuning_(std::move(tuning)),
      segmenter_({.pause = tuning_.pause,
                  .leadIn = tuning_.leadIn,
                  .longest = tuning_.longestUtterance,
                  .cutSearch = tuning_.longestUtterance / 2}),
      transcriber_(std::move(model),
                   {std::move(language), addsPunctuation, tuning_.threads, std::move(vocabulary)},
                   deliver_.cancelledFlag(), std::move(partialModel)),
      budget_(tuning_.cpuBudget, tuning_.cpuBurst) {}

void LiveJob::cancel() {
    deliver_.cancel();
    stream_->abandon();
}

void LiveJob::run() {
    lowerThreadPriority(tuning_.niceness);
    std::vector<float> incoming;
    bool ended = false;
    while (!deliver_.isCancelled()) {
        if (!ended) {
            ended = stream_->take(incoming, kWaitSlice, *deliver_.cancelledFlag());
            segmenter_.append(incoming.data(), incoming.size());
            consumed_ += incoming.size();
            incoming.clear();
        }
        while (const std::optional<size_t> cut = segmenter_.nextCut()) {
            if (!close(*cut)) {
                return;
            }
            deliver(transcriber_.text(), false, segmenter_.start(), false);
        }
        if (ended) {
            if (const std::optional<double> rate = stream_->refusedRate()) {
                deliver_(std::nullopt,
                         makeError(
                             kRecognitionFailed,
                             QStringLiteral("El reconocedor no admite audio a %1 Hz.").arg(*rate)));
                return;
            }
            finish();
            return;
        }
        // A partial decode only when nothing waits: behind the input it would show old audio.
        if (partialDue() && !decodePartial()) {
            return;
        }
    }
}

bool LiveJob::partialDue() const {
    // Until the voice stands out from the room, a decoding could only write noise's phantoms.
    if (!segmenter_.inSpeech() || !voiceStandsOut(segmenter_.contrast())) {
        return false;
    }
    // Only voice that no result has shown yet is worth a decoding; and once the voice has
    // stopped, voice the fast model showed, which the accurate model decodes at once so that
    // little is left to do when the utterance closes or the dictation stops.
    const size_t heard = partial_ ? partial_->end : 0;
    const bool unkept = speechStopped() && partial_ && !partial_->accurate;
    if (segmenter_.speechEnd() <= heard && !unkept) {
        return false;
    }
    const size_t step = size_t(tuning_.partialStep * kModelRate);
    if (!speechStopped() && segmenter_.utterance().size() < heard + step) {
        return false;
    }
    return budget_.allows(now());
}

bool LiveJob::speechStopped() const {
    return tuning_.speechStopped > 0 && segmenter_.silence() >= tuning_.speechStopped;
}

bool LiveJob::decodePartial() {
    const std::vector<float>& utterance = segmenter_.utterance();
    const size_t end = utterance.size();
    // Once the voice has stopped, this text may become the utterance's.
    const Transcriber::Decoded decoded = transcriber_.decode(
        utterance.data(), end, speechStopped(), stream_->partialStale(), segmenter_.contrast());
    spend(decoded);
    if (!decoded.text) {
        // Either the task is over, or the input ended with words this decoding did not hear:
        // they are decoded with the rest as the final text.
        partial_.reset();
        return decoded.error ? fail(decoded.error) : !deliver_.isCancelled();
    }
    partial_ = Partial{end, *decoded.text, decoded.accurate};
    deliver(transcriber_.text(*decoded.text), false, segmenter_.start() + end, true);
    return true;
}

bool LiveJob::close(size_t end) {
    // The last partial result already holds the words when the accurate model gave it, it heard
    // all the speech being closed, and nothing of it lies beyond the cut.
    const size_t speechEnd = segmenter_.speechEnd();
    if (partial_ && partial_->accurate &&
        (partial_->end == end || (partial_->end >= speechEnd && speechEnd <= end))) {
        transcriber_.commit(partial_->text);
    } else {
        const Transcriber::Decoded decoded =
            transcriber_.decode(segmenter_.utterance().data(), end, true, deliver_.cancelledFlag(),
                                segmenter_.contrast());
        spend(decoded);
        if (!decoded.text) {
            return fail(decoded.error);
        }
        transcriber_.commit(*decoded.text);
    }
    segmenter_.drop(end);
    partial_.reset();
    return true;
}

void LiveJob::finish() {
    segmenter_.flush();
    if (segmenter_.inSpeech() && !close(segmenter_.utterance().size())) {
        return;
    }
    if (segmenter_.heardSpeech()) {
        deliver(transcriber_.text(), true, consumed_, false);
    } else {
        deliver_(std::nullopt, Transcriber::noSpeech());
    }
}

bool LiveJob::fail(const std::optional<RecognitionError>& error) {
    if (error) {
        deliver_(std::nullopt, *error);
        deliver_.cancel();  // the task is over
    }
    return false;
}

void LiveJob::spend(const Transcriber::Decoded& decoded) {
    budget_.spend(decoded.cpuSeconds, now());
    decodeSeconds_ = decoded.seconds;
}

void LiveJob::deliver(const QString& text, bool isFinal, size_t covered, bool partial) {
    if (tuning_.observe) {
        tuning_.observe(covered, decodeSeconds_, partial, text);
    }
    decodeSeconds_ = 0;
    deliver_(RecognitionResult{text, isFinal});
}

double LiveJob::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

}  // namespace sonarel::whisper
