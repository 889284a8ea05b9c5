#pragma once

#include "control/Archivador.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "platform/Clock.h"
#include "ui/AjustesEscritorio.h"

#include <QString>

#include <functional>

namespace sonarel {

// What the main window works with besides the engine.
struct ServiciosVentana {
    Preferences& preferencias;
    Paster& paster;
    Archivador& archivador;
    const Clock& clock;
    // The coordinator's copy of the engine settings from the preferences.
    std::function<void()> sincronizarPreferencias;
    std::function<void(PanelAjustes)> abrirAjustes;
    // Asks the user where to save, proposing a file name; empty when the user cancels.
    std::function<QString(const QString& nombrePropuesto)> elegirArchivo;
};

}  // namespace sonarel
