#pragma once

#include "platform/PanelWindowing.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/X11PanelWindowing.h"

#include <memory>

namespace sonarel::wayland {

// Floating panels as layer-shell surfaces (sway and the other wlroots compositors, KDE Plasma):
// in the overlay layer, above every window, full-screen ones too; never given the keyboard; with
// an empty input region, so that clicks reach the window below; at the bottom of the output the
// compositor picks, the one the user last worked on. This process draws the panel's widget into
// the surface on a connection of its own, so the widget itself never shows, whichever Qt platform
// the application runs on. Should the compositor end that connection, panels fall back to what
// X11 does for them (through XWayland).
class LayerShellPanels : public PanelWindowing {
public:
    // None unless the compositor offers layer shell, surfaces and shared memory.
    static std::unique_ptr<LayerShellPanels> create();

    // A Wayland compositor always composites.
    bool compositing() override { return true; }
    void prepare(QWindow& window) override;

private:
    explicit LayerShellPanels(std::unique_ptr<WaylandConnection> connection);

    std::unique_ptr<WaylandConnection> connection_;
    x11::X11PanelWindowing fallback_;
};

}  // namespace sonarel::wayland
