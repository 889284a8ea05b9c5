#include "hud/HUDEstado.h"

namespace sonarel {

void HUDEstado::setMensaje(std::optional<QString> mensaje) {
    mensaje_ = std::move(mensaje);
    emit mensajeChanged();
}

}  // namespace sonarel
