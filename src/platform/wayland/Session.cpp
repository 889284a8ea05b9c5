#include "platform/wayland/Session.h"

#include <QByteArray>

namespace sonarel::wayland {

bool isWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

QByteArray qtPlatformForSession() {
    if (!isWaylandSession()) {
        return {};
    }
    return qEnvironmentVariableIsEmpty("DISPLAY") ? QByteArrayLiteral("wayland")
                                                  : QByteArrayLiteral("xcb;wayland");
}

}  // namespace sonarel::wayland
