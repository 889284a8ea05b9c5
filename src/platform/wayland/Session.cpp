#include "platform/wayland/Session.h"

#include <QByteArray>
#include <QStringList>

namespace sonarel::wayland {

bool isWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

bool isGnomeSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP")
        .split(QLatin1Char(':'))
        .contains(QLatin1String("GNOME"), Qt::CaseInsensitive);
}

QByteArray qtPlatformForSession(const QByteArray& requested) {
    if (!isWaylandSession()) {
        return requested;
    }
    const bool xwayland = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (xwayland && isGnomeSession() && requested.startsWith("wayland")) {
        return QByteArrayLiteral("xcb");
    }
    if (!requested.isEmpty()) {
        return requested;
    }
    return xwayland ? QByteArrayLiteral("xcb;wayland") : QByteArrayLiteral("wayland");
}

}  // namespace sonarel::wayland
