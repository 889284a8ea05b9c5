#pragma once

#include "platform/Clock.h"

#include <functional>
#include <memory>

namespace sonarel {

// Hold to talk: once the shortcut has been held down `kToqueMinimo`, the dictation starts, and
// letting go stops it; a shorter tap does nothing at all, rather than a dictation of a word.
// A press while a dictation runs (started from the window, say) stops it. Main thread only.
class AtajoMantenido {
public:
    static constexpr double kToqueMinimo = 0.3;

    // `dictando`: a dictation runs and is not stopping. `alternar` starts or stops it as the
    // shortcut does.
    AtajoMantenido(Clock& clock, std::function<bool()> dictando, std::function<void()> alternar);

    void pulsado();
    void soltado();

private:
    Clock& clock_;
    std::function<bool()> dictando_;
    std::function<void()> alternar_;
    std::unique_ptr<Timer> espera_;  // from a press until it is no longer a tap
    bool empezado_ = false;          // the keys held started the dictation that runs
};

}  // namespace sonarel
