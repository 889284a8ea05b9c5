#include "platform/portal/PortalRequest.h"

#include "platform/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QUuid>

#include <memory>

namespace sonarel::portal {
namespace {

// Covers the portal's own start-up when this call starts it, on a loaded machine.
constexpr int kVersionTimeoutMs = 15000;

// Receives the Request object's Response signal.
class ResponseReceiver : public QObject {
    Q_OBJECT

public:
    std::function<void(uint, const QVariantMap&)> onResponse;

public slots:
    void response(uint code, const QVariantMap& results) { onResponse(code, results); }
};

}  // namespace

void request(QDBusConnection bus, Clock& clock, double timeoutSeconds, QObject* context,
             const QString& interface, const QString& method, QVariantList arguments,
             std::function<void(Outcome, const QVariantMap&)> done) {
    const QString token =
        QStringLiteral("sonarel%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);

    // One answer, whichever comes first: the response, an error reply, or the timeout.
    struct Pending {
        std::function<void(Outcome, const QVariantMap&)> done;
        std::unique_ptr<Timer> timer;
        std::unique_ptr<ResponseReceiver> receiver;
        bool answered = false;
    };
    auto pending = std::make_shared<Pending>();
    pending->done = std::move(done);
    QPointer<QObject> alive(context);
    const auto answer = [pending, alive, bus, path, method](Outcome outcome,
                                                            const QVariantMap& results) {
        if (pending->answered) {
            return;
        }
        pending->answered = true;
        if (outcome != Outcome::Granted) {
            qCDebug(logDesktop) << "portal request" << method << "ended with outcome"
                                << static_cast<int>(outcome);
        }
        pending->timer.reset();
        QDBusConnection(bus).disconnect(
            QString::fromLatin1(kService), path, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"), pending->receiver.get(), SLOT(response(uint, QVariantMap)));
        pending->receiver.release()->deleteLater();
        if (alive) {
            pending->done(outcome, results);
        }
    };
    pending->receiver = std::make_unique<ResponseReceiver>();
    pending->receiver->onResponse = [answer](uint code, const QVariantMap& results) {
        answer(code == 0   ? Outcome::Granted
               : code == 1 ? Outcome::Refused
                           : Outcome::Failed,
               results);
    };
    // Subscribed before the call, so that a quick answer is not missed.
    bus.connect(QString::fromLatin1(kService), path,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                pending->receiver.get(), SLOT(response(uint, QVariantMap)));
    pending->timer = clock.once(timeoutSeconds, [answer] { answer(Outcome::TimedOut, {}); });

    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), pending->receiver.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answer](QDBusPendingCallWatcher* w) {
                         if (w->isError()) {
                             answer(Outcome::Failed, {});
                         }
                         w->deleteLater();
                     });
}

bool offers(QDBusConnection bus, const QString& interface) {
    if (!bus.isConnected()) {
        return false;
    }
    // Not asked whether the portal runs: at the start of a session it does not yet, and its first
    // call starts it (D-Bus activation). Where none is installed the bus answers at once.
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({interface, QStringLiteral("version")});
    get.setAutoStartService(true);
    const QDBusMessage reply = bus.call(get, QDBus::Block, kVersionTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCDebug(logDesktop) << "the portal does not offer" << interface << ":"
                            << reply.errorMessage();
        return false;
    }
    return true;
}

}  // namespace sonarel::portal

#include "PortalRequest.moc"
