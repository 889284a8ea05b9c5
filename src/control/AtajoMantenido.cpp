#include "control/AtajoMantenido.h"

#include <utility>

namespace sonarel {

AtajoMantenido::AtajoMantenido(Clock& clock, std::function<bool()> dictando,
                               std::function<void()> alternar)
    : clock_(clock), dictando_(std::move(dictando)), alternar_(std::move(alternar)) {}

void AtajoMantenido::pulsado() {
    empezado_ = false;
    if (dictando_()) {
        alternar_();
        return;
    }
    // Once fired, the timer stays until the next press or release replaces or drops it.
    espera_ = clock_.once(kToqueMinimo, [this] {
        if (!dictando_()) {
            empezado_ = true;
            alternar_();
        }
    });
}

void AtajoMantenido::soltado() {
    espera_.reset();
    if (std::exchange(empezado_, false) && dictando_()) {
        alternar_();
    }
}

}  // namespace sonarel
