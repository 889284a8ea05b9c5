#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

namespace sonarel {

// The real clock: a monotonic timer for intervals and QTimer for the main-thread timers.
class QtClock : public Clock {
public:
    QtClock();
    double now() const override;
    QDateTime currentDateTime() const override;
    std::unique_ptr<Timer> once(double seconds, std::function<void()> fire) override;
    std::unique_ptr<Timer> every(double seconds, std::function<void()> fire) override;

private:
    QElapsedTimer origin_;
};

}  // namespace sonarel
