#include "platform/whisper/Segmenter.h"

#include "platform/whisper/Resampler.h"
#include "platform/whisper/SpeechEvidence.h"

#include <algorithm>

namespace sonarel::whisper {

namespace {
constexpr size_t kFrame = VoiceActivity::kFrame;

// Whole frames of `seconds`.
size_t framesOf(double seconds) {
    return size_t(seconds * kModelRate) / kFrame;
}
}  // namespace

Segmenter::Segmenter(Shape shape) : shape_(shape) {}

void Segmenter::append(const float* samples, size_t count) {
    queue_.insert(queue_.end(), samples, samples + count);
}

std::optional<size_t> Segmenter::nextCut() {
    const size_t leadIn = framesOf(shape_.leadIn) * kFrame;
    while (queued() >= kFrame) {
        const auto from = queue_.begin() + std::ptrdiff_t(queueAt_);
        utterance_.insert(utterance_.end(), from, from + kFrame);
        queueAt_ += kFrame;
        const bool voiced = voice_.isVoiced(utterance_.data() + classified_);
        const double energy = voice_.lastEnergy();
        classified_ += kFrame;
        if (voiced && !inSpeech_) {
            loudest_ = quietest_ = energy;
        }
        if (voiced) {
            inSpeech_ = true;
            silentFrames_ = 0;
            speechEnd_ = classified_;
        } else {
            ++silentFrames_;
        }
        if (inSpeech_) {
            loudest_ = std::max(loudest_, energy);
            quietest_ = std::min(quietest_, energy);
            heardSpeech_ = heardSpeech_ || voiceStandsOut(contrast());
        }
        if (!inSpeech_) {
            if (utterance_.size() > leadIn) {
                drop(utterance_.size() - leadIn);
            }
        } else if (shape_.pause > 0 && silentFrames_ >= framesOf(shape_.pause)) {
            return std::min(utterance_.size(), speechEnd_ + leadIn);
        } else if (utterance_.size() >= framesOf(shape_.longest) * kFrame) {
            return quietestCut();
        }
    }
    queue_.erase(queue_.begin(), queue_.begin() + std::ptrdiff_t(queueAt_));
    queueAt_ = 0;
    return std::nullopt;
}

void Segmenter::flush() {
    utterance_.insert(utterance_.end(), queue_.begin() + std::ptrdiff_t(queueAt_), queue_.end());
    queue_.clear();
    queueAt_ = 0;
}

void Segmenter::drop(size_t end) {
    end = std::min(end, utterance_.size());
    utterance_.erase(utterance_.begin(), utterance_.begin() + std::ptrdiff_t(end));
    start_ += end;
    classified_ = classified_ > end ? classified_ - end : 0;
    speechEnd_ = speechEnd_ > end ? speechEnd_ - end : 0;
    // What is left holds no voice: it is silence before the next utterance.
    if (speechEnd_ == 0) {
        inSpeech_ = false;
    }
}

size_t Segmenter::quietestCut() const {
    const size_t last = utterance_.size() / kFrame * kFrame;
    const size_t span = framesOf(shape_.cutSearch) * kFrame;
    const size_t first = last > span ? last - span : kFrame;
    size_t best = last;
    double bestEnergy = 1e9;
    for (size_t at = first; at + kFrame <= last; at += kFrame) {
        const double e = VoiceActivity::energy(utterance_.data() + at, kFrame);
        if (e < bestEnergy) {
            bestEnergy = e;
            best = at;
        }
    }
    return std::max(best, kFrame);
}

double Segmenter::contrast() const {
    if (!inSpeech_) {
        return 0;
    }
    return loudest_ / std::max({quietest_, voice_.floor(), 1e-6});
}

double Segmenter::silence() const {
    return double(silentFrames_ * kFrame) / kModelRate;
}

}  // namespace sonarel::whisper
