#pragma once

class QWindow;

namespace sonarel {

// What the window system does for a panel that floats above every window while the user keeps
// working in another application. Main thread only.
class PanelWindowing {
public:
    virtual ~PanelWindowing() = default;

    // Whether a compositor runs: only then do translucent windows and opacity fades show.
    virtual bool compositing() = 0;
    // Marks `window` (created, not yet shown) to show on every workspace, stay out of the task
    // bar, the pager and window cycling, and never be given the keyboard focus.
    virtual void prepare(QWindow& window) = 0;
};

}  // namespace sonarel
