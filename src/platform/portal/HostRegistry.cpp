#include "platform/portal/HostRegistry.h"

#include "platform/Logging.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace sonarel::portal {

void registerHost(QDBusConnection bus, const QString& appId) {
    QDBusMessage registration = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    registration.setArguments({appId, QVariantMap()});
    const QDBusMessage reply = bus.call(registration, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCDebug(logDesktop) << "host registration:" << reply.errorMessage();
    }
}

}  // namespace sonarel::portal
