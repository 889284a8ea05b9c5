#pragma once

#include "engine/SpeechEngine.h"
#include "hud/HUDEstado.h"
#include "hud/HUDView.h"
#include "platform/Clock.h"
#include "platform/PanelWindowing.h"

#include <QObject>
#include <QPointer>
#include <QPropertyAnimation>

#include <memory>

namespace sonarel {

// The floating panel near the bottom of the screen under the pointer that shows a shortcut
// dictation, or a short notice. It never takes the keyboard focus and the mouse passes through
// it, so the application in front keeps working. Main thread only.
class HUD : public QObject {
    Q_OBJECT

public:
    static constexpr int kAncho = 560;
    static constexpr int kAlto = 54;
    static constexpr int kSobreElBorde = 96;  // from the bottom of the screen's usable area
    static constexpr int kEntradaMs = 150;
    static constexpr int kSalidaMs = 180;

    HUD(SpeechEngine& motor, HUDEstado& estado, Clock& clock, PanelWindowing& ventanas,
        QObject* parent = nullptr);
    ~HUD() override;

    // Places the panel on the screen under the pointer and fades it in, without taking focus.
    void mostrar();
    // Fades the panel out, unless a notice is on show: the notice hides it when it ends.
    void ocultar();
    // Shows `mensaje` instead of the listening bar for `segundos`, then hides the panel.
    void avisar(const QString& mensaje, double segundos = 3);
    // Ends the notice on show, if any, and leaves the panel as it is: the listening bar shows.
    void quitarAviso();

    // The panel, once the first `mostrar()` has made it.
    HUDView* panel() const { return panel_.get(); }

private:
    void crearPanel(bool translucido);

    SpeechEngine& motor_;
    HUDEstado& estado_;
    Clock& clock_;
    PanelWindowing& ventanas_;
    std::unique_ptr<HUDView> panel_;
    std::unique_ptr<Timer> tareaMensaje_;
    std::unique_ptr<QPropertyAnimation> fundido_;
    bool saliendo_ = false;
};

}  // namespace sonarel
