#include "platform/QtClock.h"

#include <QTimer>

#include <cmath>

namespace sonarel {
namespace {

class QtTimer : public Timer {
public:
    QtTimer(double seconds, bool repeating, std::function<void()> fire) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(!repeating);
        QObject::connect(&timer_, &QTimer::timeout, std::move(fire));
        timer_.start(static_cast<int>(std::lround(seconds * 1000.0)));
    }

private:
    QTimer timer_;
};

}  // namespace

QtClock::QtClock() {
    origin_.start();
}

double QtClock::now() const {
    return static_cast<double>(origin_.nsecsElapsed()) / 1e9;
}

QDateTime QtClock::currentDateTime() const {
    return QDateTime::currentDateTime();
}

std::unique_ptr<Timer> QtClock::once(double seconds, std::function<void()> fire) {
    return std::make_unique<QtTimer>(seconds, false, std::move(fire));
}

std::unique_ptr<Timer> QtClock::every(double seconds, std::function<void()> fire) {
    return std::make_unique<QtTimer>(seconds, true, std::move(fire));
}

}  // namespace sonarel
