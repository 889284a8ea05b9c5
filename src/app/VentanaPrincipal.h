#pragma once

#include "app/MenuArchivo.h"
#include "ui/ContentView.h"

#include <QMainWindow>

namespace sonarel {

// The main window, "Sonarel": the content view and the File menu. Closing it only hides it; the
// application goes on with its tray item and hot key, and `mostrar()` brings it back.
class VentanaPrincipal : public QMainWindow {
    Q_OBJECT

public:
    VentanaPrincipal(SpeechEngine& motor, ContentView::Servicios servicios,
                     std::function<void()> abrirCarpetaDeDictados, std::function<void()> salir);

    // Shows the window and brings it to the front.
    void mostrar();

    ContentView& contenido() { return *contenido_; }
    MenuArchivo& menuArchivo() { return *menuArchivo_; }

private:
    ContentView* contenido_;
    MenuArchivo* menuArchivo_;
};

}  // namespace sonarel
