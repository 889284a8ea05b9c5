#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

namespace sonarel {

// A pending timer; destroying it cancels it.
class Timer {
public:
    virtual ~Timer() = default;
};

// Time and main-thread timers, injected so that time-driven logic is tested without sleeping.
// `now()` is monotonic seconds from an arbitrary origin: only differences are meaningful.
// Timer callbacks run on the main thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual QDateTime currentDateTime() const = 0;
    virtual std::unique_ptr<Timer> once(double seconds, std::function<void()> fire) = 0;
    virtual std::unique_ptr<Timer> every(double seconds, std::function<void()> fire) = 0;
};

// An instant earlier than any real reading, so that the first interval measured from it is huge.
inline constexpr double kDistantPast = -1e12;

}  // namespace sonarel
