#pragma once

#include "ui/AjustesEscritorio.h"

namespace sonarel {

// Opens the running desktop's own settings page for `panel` (GNOME, KDE, Xfce, MATE, Cinnamon,
// LXQt, or a stand-alone mixer for sound). Does nothing when the desktop offers none.
void abrirAjustesDelEscritorio(PanelAjustes panel);

}  // namespace sonarel
