#pragma once

#include <QString>

namespace sonarel::wayland {

// Whether this login is a Wayland session: a compositor is named, or the session says so.
bool isWaylandSession();

// The Qt platform to run on, when the user did not choose one: on a Wayland session with
// XWayland, Qt's X11 platform, so that the floating panel can be an override-redirect window that
// stays above every window without taking the focus (a Wayland client cannot place its windows);
// natively on Wayland otherwise. Empty outside Wayland sessions (Qt's own choice).
QByteArray qtPlatformForSession();

}  // namespace sonarel::wayland
