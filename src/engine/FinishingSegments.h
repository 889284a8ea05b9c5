#pragma once

#include "platform/Clock.h"
#include "platform/SpeechService.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

namespace sonarel {

// Segments whose audio has ended but whose text may still change: their tasks are still
// decoding what they heard. Their texts join the committed text in the order they were spoken,
// whichever task finishes first.
class FinishingSegments {
public:
    struct Segment {
        std::int64_t generation = 0;
        std::shared_ptr<RecognitionTask> task;  // none once it is done
        QString text;                           // its latest transcription
        std::unique_ptr<Timer> deadline;        // none while the model loads
    };

    void add(Segment segment) { segments_.push_back(std::move(segment)); }
    // The unfinished segment of that task generation, or null.
    Segment* find(std::int64_t generation);
    // Marks it done: its task is cancelled, its text is final.
    static void finish(Segment& segment);
    // Removes the done segments at the front, joining their texts onto `into` in order.
    void takeDone(QString& into);
    // The texts of every segment, in order.
    QString joined() const;
    void cancelAll();
    // Gives each unfinished segment without a deadline the one `make` returns for its generation.
    void armDeadlines(const std::function<std::unique_ptr<Timer>(std::int64_t generation)>& make);
    bool empty() const { return segments_.empty(); }

private:
    std::deque<Segment> segments_;
};

}  // namespace sonarel
