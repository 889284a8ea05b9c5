#pragma once

#include "platform/Clock.h"

#include <vector>

namespace sonarel::doubles {

// A clock that moves only when a test advances it, firing due timers in time order.
class FakeClock : public Clock {
public:
    explicit FakeClock(double start = 1000.0);
    double now() const override { return now_; }
    QDateTime currentDateTime() const override;
    std::unique_ptr<Timer> once(double seconds, std::function<void()> fire) override;
    std::unique_ptr<Timer> every(double seconds, std::function<void()> fire) override;

    void advance(double seconds);
    void setDateTime(const QDateTime& dateTime);
    int pendingTimers() const;

    struct Entry {
        double due;
        double interval;  // 0 for a one-shot timer
        std::function<void()> fire;
        bool cancelled = false;
    };

private:
    std::unique_ptr<Timer> add(double seconds, double interval, std::function<void()> fire);

    double now_;
    double dateOrigin_;
    QDateTime date_;
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace sonarel::doubles
