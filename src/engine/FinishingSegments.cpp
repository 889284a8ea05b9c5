#include "engine/FinishingSegments.h"

#include "engine/TextRules.h"

namespace sonarel {

FinishingSegments::Segment* FinishingSegments::find(std::int64_t generation) {
    for (Segment& segment : segments_) {
        if (segment.generation == generation && segment.task) {
            return &segment;
        }
    }
    return nullptr;
}

void FinishingSegments::finish(Segment& segment) {
    if (segment.task) {
        segment.task->cancel();
        segment.task.reset();
    }
    segment.deadline.reset();
}

void FinishingSegments::takeDone(QString& into) {
    while (!segments_.empty() && !segments_.front().task) {
        into = text::join(into, segments_.front().text);
        segments_.pop_front();
    }
}

QString FinishingSegments::joined() const {
    QString all;
    for (const Segment& segment : segments_) {
        all = text::join(all, segment.text);
    }
    return all;
}

void FinishingSegments::cancelAll() {
    for (Segment& segment : segments_) {
        finish(segment);
    }
    segments_.clear();
}

void FinishingSegments::armDeadlines(
    const std::function<std::unique_ptr<Timer>(std::int64_t generation)>& make) {
    for (Segment& segment : segments_) {
        if (segment.task && !segment.deadline) {
            segment.deadline = make(segment.generation);
        }
    }
}

}  // namespace sonarel
