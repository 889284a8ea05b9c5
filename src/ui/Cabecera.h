#pragma once

#include "engine/SpeechEngine.h"
#include "ui/ServiciosVentana.h"

#include <QWidget>

class QComboBox;
class QMenu;
class QToolButton;

namespace sonarel {

class EstadoChip;

// The main window's header: the language picker, the status chip and the options menu. The
// picker and the menu show the preferences and write them; a change to an engine setting is
// handed to the engine at once.
class Cabecera : public QWidget {
    Q_OBJECT

public:
    Cabecera(SpeechEngine& motor, ServiciosVentana servicios, QWidget* parent = nullptr);

    // Shows what the preferences hold now.
    void mostrarPreferencias();

    QComboBox* selectorIdioma() const { return idioma_; }
    EstadoChip* estadoChip() const { return chip_; }
    QMenu* menuOpciones() const { return menuOpciones_; }

private:
    QMenu* crearMenuOpciones();
    void mostrarEstado();
    void escribirPreferencia(const char* clave, const QVariant& valor, bool deMotor);

    SpeechEngine& motor_;
    ServiciosVentana servicios_;
    QComboBox* idioma_;
    EstadoChip* chip_;
    QToolButton* opciones_;
    QMenu* menuOpciones_;
};

}  // namespace sonarel
