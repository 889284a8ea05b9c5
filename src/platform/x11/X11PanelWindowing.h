#pragma once

#include "platform/PanelWindowing.h"

namespace sonarel::x11 {

// Floating panels on X11. The panel itself is an override-redirect window with an empty input
// region (Qt's flags), which no window manager frames, focuses or lists, and which stays above
// the windows it manages; the hints written here tell compositors and pagers the same.
class X11PanelWindowing : public PanelWindowing {
public:
    // A compositing manager owns the _NET_WM_CM_S0 selection.
    bool compositing() override;
    void prepare(QWindow& window) override;
};

}  // namespace sonarel::x11
