#pragma once

#include <QString>

namespace sonarel::wayland {

// Whether this login is a Wayland session: a compositor is named, or the session says so.
bool isWaylandSession();

// Whether the session is GNOME's (XDG_CURRENT_DESKTOP names it).
bool isGnomeSession();

// The Qt platform to run on, given the one the user asked for (QT_QPA_PLATFORM, maybe empty):
// - on GNOME with XWayland, Qt's X11 platform even when Wayland was asked for: mutter offers a
//   Wayland client neither a clipboard it may set without the focus (data-control) nor a panel
//   that stays above every window without taking the focus (layer shell), and through XWayland
//   both work (the clipboard through the X11 selection, the HUD as an override-redirect window);
// - on another Wayland session, with nothing asked for, X11 where XWayland runs (the same
//   override-redirect HUD where the compositor has no layer shell), else native Wayland;
// - otherwise what was asked for (empty: Qt's own choice).
QByteArray qtPlatformForSession(const QByteArray& requested);

}  // namespace sonarel::wayland
