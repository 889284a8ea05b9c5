#pragma once

namespace sonarel::x11 {

// Whether one of this process's windows that take the keyboard has the input focus. On X11
// (XWayland included) the X server is asked, since it knows at once: Qt lets go of its focus
// window only a while after the focus left, waiting for a FocusIn that may follow. Elsewhere
// Qt's own focus window answers.
bool ownWindowHasFocus();

}  // namespace sonarel::x11
