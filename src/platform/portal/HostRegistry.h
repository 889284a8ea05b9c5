#pragma once

#include <QDBusConnection>
#include <QString>

namespace sonarel::portal {

// Names this process to the desktop portal as the host application `appId` (its desktop file's
// name), on `bus`. The portal keeps the first application id a connection gives, and one it
// derived itself from an earlier call: an unsandboxed process gets none, and GNOME 48 then refuses
// its shortcuts. So this must be the connection's first portal call, before Qt's platform theme
// reads the portal's settings (in QApplication's constructor). Waits for the answer (the portal
// may be started by this call, which took over 5 s on a loaded machine: a registration given up
// too early leaves the connection without an id for good), at most `kTimeoutMs`; portals older
// than the registry answer an error at once, which changes nothing.
void registerHost(QDBusConnection bus, const QString& appId);

inline constexpr int kTimeoutMs = 25000;

}  // namespace sonarel::portal
