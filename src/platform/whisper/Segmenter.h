#pragma once

#include "platform/whisper/VoiceActivity.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace sonarel::whisper {

// Cuts 16 kHz speech into utterances, 20 ms frame by frame: at a pause, or at the quietest frame
// of its end part once it grows too long. Audio before the first voiced frame is kept only as a
// short lead-in, so silence is never decoded.
class Segmenter {
public:
    struct Shape {
        double pause = 0;      // silence that closes an utterance; 0: only its length does
        double leadIn = 0.3;   // audio kept before the first voiced frame and after the last
        double longest = 4;    // an utterance this long is cut...
        double cutSearch = 2;  // ...at the quietest frame of its last `cutSearch` seconds
    };

    explicit Segmenter(Shape shape);

    // Queues audio for `nextCut`.
    void append(const float* samples, size_t count);
    // Moves queued whole frames into the utterance until one closes it, and answers where it
    // ends; none once less than a frame is queued. After a cut, `drop` its audio before asking
    // again.
    std::optional<size_t> nextCut();
    // Moves everything queued into the utterance, a last partial frame too: the input is over.
    void flush();
    // Removes the utterance's first `end` samples, whose text has been taken.
    void drop(size_t end);

    const std::vector<float>& utterance() const { return utterance_; }
    // Samples of the input before the utterance's first one.
    size_t start() const { return start_; }
    // The end of the utterance's last voiced frame; 0 when none of its frames is voiced.
    size_t speechEnd() const { return speechEnd_; }
    // Seconds since the utterance's last voiced frame.
    double silence() const;
    bool inSpeech() const { return inSpeech_; }
    // How far the utterance's loudest frame stands above the quietest since its voice began, or
    // above the room's level when that is higher (see SpeechEvidence.h); 0 out of speech.
    double contrast() const;
    // Whether an utterance's voice stood out from the room: a steady noise, however loud, is
    // never heard as speech.
    bool heardSpeech() const { return heardSpeech_; }
    size_t queued() const { return queue_.size() - queueAt_; }

private:
    // Where to cut the utterance now: the start of the quietest frame of its last `cutSearch`
    // seconds, so that a cut rarely falls inside a word.
    size_t quietestCut() const;

    const Shape shape_;
    VoiceActivity voice_;
    std::vector<float> queue_;
    size_t queueAt_ = 0;  // samples of the queue already moved into the utterance
    std::vector<float> utterance_;
    size_t start_ = 0;
    size_t classified_ = 0;  // samples of the utterance whose frames have been classified
    size_t speechEnd_ = 0;
    size_t silentFrames_ = 0;
    bool inSpeech_ = false;
    bool heardSpeech_ = false;
    double loudest_ = 0;   // frame energy, since the utterance's voice began
    double quietest_ = 0;  // likewise
};

}  // namespace sonarel::whisper
