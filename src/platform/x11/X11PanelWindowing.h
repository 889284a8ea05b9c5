#pragma once

#include "platform/PanelWindowing.h"

namespace sonarel {

// Floating panels on X11 through the window manager's standard hints, on Qt's own connection.
class X11PanelWindowing : public PanelWindowing {
public:
    // A compositing manager owns the _NET_WM_CM_Sn selection of the display's screen.
    bool compositing() override;
    // Sticky, above, out of task bar and pager, and without WM_TAKE_FOCUS, so that a window
    // manager never hands it the focus (the no-input hint comes from Qt's own flag).
    void prepare(QWindow& window) override;
};

}  // namespace sonarel
