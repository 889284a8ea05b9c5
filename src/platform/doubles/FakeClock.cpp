#include "platform/doubles/FakeClock.h"

#include <algorithm>

namespace sonarel::doubles {
namespace {

class FakeTimer : public Timer {
public:
    explicit FakeTimer(std::shared_ptr<FakeClock::Entry> entry) : entry_(std::move(entry)) {}
    ~FakeTimer() override { entry_->cancelled = true; }

private:
    std::shared_ptr<FakeClock::Entry> entry_;
};

}  // namespace

FakeClock::FakeClock(double start)
    : now_(start), dateOrigin_(start), date_(QDateTime(QDate(2026, 3, 14), QTime(9, 30))) {}

QDateTime FakeClock::currentDateTime() const {
    return date_.addMSecs(static_cast<qint64>((now_ - dateOrigin_) * 1000.0));
}

void FakeClock::setDateTime(const QDateTime& dateTime) {
    date_ = dateTime;
    dateOrigin_ = now_;
}

std::unique_ptr<Timer> FakeClock::once(double seconds, std::function<void()> fire) {
    return add(seconds, 0, std::move(fire));
}

std::unique_ptr<Timer> FakeClock::every(double seconds, std::function<void()> fire) {
    return add(seconds, seconds, std::move(fire));
}

std::unique_ptr<Timer> FakeClock::add(double seconds, double interval, std::function<void()> fire) {
    auto entry =
        std::make_shared<Entry>(Entry{now_ + std::max(seconds, 0.0), interval, std::move(fire)});
    entries_.push_back(entry);
    return std::make_unique<FakeTimer>(entry);
}

int FakeClock::pendingTimers() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const auto& e) { return !e->cancelled; }));
}

void FakeClock::advance(double seconds) {
    const double target = now_ + seconds;
    while (true) {
        std::erase_if(entries_, [](const auto& e) { return e->cancelled; });
        auto next = std::min_element(entries_.begin(), entries_.end(),
                                     [](const auto& a, const auto& b) { return a->due < b->due; });
        if (next == entries_.end() || (*next)->due > target + 1e-9) {
            break;
        }
        std::shared_ptr<Entry> entry = *next;  // kept alive while it fires
        now_ = std::max(now_, entry->due);
        if (entry->interval > 0) {
            entry->due += entry->interval;
        } else {
            entry->cancelled = true;
        }
        entry->fire();
    }
    now_ = target;
}

}  // namespace sonarel::doubles
