#pragma once

namespace sonarel {

// Opens the running desktop's own sound settings, where the microphone is chosen and allowed
// (GNOME, KDE, MATE, Cinnamon, or a stand-alone mixer). Does nothing when the desktop offers none.
void abrirAjustesDeSonido();

}  // namespace sonarel
