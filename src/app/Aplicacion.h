#pragma once

#include "app/Bandeja.h"
#include "app/Plataforma.h"
#include "app/VentanaPrincipal.h"
#include "control/HotKey.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"
#include "history/Historial.h"
#include "platform/QtClock.h"

#include <QObject>

namespace sonarel {

// The application: the one instance of every service, the main window and the tray item.
class Aplicacion : public QObject {
    Q_OBJECT

public:
    Aplicacion(QtClock& clock, ServiciosDeVoz& voz, ServiciosDeEscritorio escritorio);

    // Finishes launching: the main window in front, the tray item, the hot key.
    void iniciar();
    // Shows the main window again and brings the application to the front.
    void mostrarVentana();

private:
    void abrirCarpetaDeDictados();

    QtClock& clock_;
    ServiciosDeEscritorio escritorio_;
    Preferences preferencias_;
    Historial historial_;
    SpeechEngine motor_;
    Paster paster_;
    HotKey hotKey_;
    VentanaPrincipal ventana_;
    Bandeja bandeja_;
};

}  // namespace sonarel
