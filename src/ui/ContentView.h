#pragma once

#include "engine/SpeechEngine.h"
#include "ui/ServiciosVentana.h"

#include <QWidget>

namespace sonarel {

class Cabecera;
class Editor;
class Pie;

// The main window's content: the header, the editor and the footer, one above the other. It
// keeps no dictation logic: each part shows the engine's published state and calls the services
// it is given. The preferences reach the engine when the window first shows and whenever it
// comes to the front, since they may have been edited elsewhere meanwhile.
class ContentView : public QWidget {
    Q_OBJECT

public:
    using Servicios = ServiciosVentana;

    ContentView(SpeechEngine& motor, Servicios servicios, QWidget* parent = nullptr);

    Cabecera& cabecera() const { return *cabecera_; }
    Editor& editor() const { return *editor_; }
    Pie& pie() const { return *pie_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Servicios servicios_;
    Cabecera* cabecera_;
    Editor* editor_;
    Pie* pie_;
    bool sincronizado_ = false;
};

}  // namespace sonarel
