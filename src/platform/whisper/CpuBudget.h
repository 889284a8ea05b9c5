#pragma once

namespace sonarel::whisper {

// The processor time that optional work (partial results) may take: `cores` on average, with
// up to `burst` core-seconds saved up while there was nothing to do. Times are seconds on any
// steady clock.
class CpuBudget {
public:
    CpuBudget(double cores, double burst) : cores_(cores), burst_(burst), credit_(burst) {}

    void spend(double cpuSeconds, double now) {
        credit_ = creditAt(now) - cpuSeconds;
        at_ = now;
    }
    // Whether what was spent has been earned back by `now`. No limit when `cores` is 0.
    bool allows(double now) const { return cores_ <= 0 || creditAt(now) >= 0; }

private:
    double creditAt(double now) const {
        const double earned = credit_ + cores_ * (now - at_);
        return earned < burst_ ? earned : burst_;
    }

    const double cores_;
    const double burst_;
    double credit_;
    double at_ = -1e9;
};

}  // namespace sonarel::whisper
