#pragma once

#include "platform/Clock.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace sonarel::portal {

inline constexpr auto kService = "org.freedesktop.portal.Desktop";
inline constexpr auto kPath = "/org/freedesktop/portal/desktop";

// How a portal request ended.
enum class Outcome {
    Granted,   // the portal answered with success
    Refused,   // the user or the desktop declined
    Failed,    // an error reply, or the request ended otherwise
    TimedOut,  // no answer in time
};

// Calls a portal method that answers through a Request object, and hands its response over once,
// on the main thread. `arguments` end with the options map, to which the handle token is added.
// Nothing is called once `context` is gone.
void request(QDBusConnection bus, Clock& clock, double timeoutSeconds, QObject* context,
             const QString& interface, const QString& method, QVariantList arguments,
             std::function<void(Outcome, const QVariantMap& results)> done);

// Whether the portal service offers `interface` (its "version" property answers); starts the
// portal when it is not running yet. Blocks until it answers.
bool offers(QDBusConnection bus, const QString& interface);

}  // namespace sonarel::portal
