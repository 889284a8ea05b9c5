#include "platform/portal/PortalRequest.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QUuid>

#include <memory>

namespace sonarel::portal {
namespace {

constexpr int kVersionTimeoutMs = 2000;

// Receives the Request object's Response signal.
class Respuesta : public QObject {
    Q_OBJECT

public:
    std::function<void(uint, const QVariantMap&)> alLlegar;

public slots:
    void response(uint code, const QVariantMap& results) { alLlegar(code, results); }
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
    struct Estado {
        std::function<void(Outcome, const QVariantMap&)> done;
        std::unique_ptr<Timer> timer;
        std::unique_ptr<Respuesta> respuesta;
        bool answered = false;
    };
    auto estado = std::make_shared<Estado>();
    estado->done = std::move(done);
    QPointer<QObject> vivo(context);
    const auto answer = [estado, vivo, bus, path](Outcome outcome, const QVariantMap& results) {
        if (estado->answered) {
            return;
        }
        estado->answered = true;
        estado->timer.reset();
        QDBusConnection(bus).disconnect(
            QString::fromLatin1(kService), path, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"), estado->respuesta.get(), SLOT(response(uint, QVariantMap)));
        estado->respuesta.release()->deleteLater();
        if (vivo) {
            estado->done(outcome, results);
        }
    };
    estado->respuesta = std::make_unique<Respuesta>();
    estado->respuesta->alLlegar = [answer](uint code, const QVariantMap& results) {
        answer(code == 0   ? Outcome::Granted
               : code == 1 ? Outcome::Refused
                           : Outcome::Failed,
               results);
    };
    // Subscribed before the call, so that a quick answer is not missed.
    bus.connect(QString::fromLatin1(kService), path,
                QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                estado->respuesta.get(), SLOT(response(uint, QVariantMap)));
    estado->timer = clock.once(timeoutSeconds, [answer] { answer(Outcome::TimedOut, {}); });

    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), estado->respuesta.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answer](QDBusPendingCallWatcher* w) {
                         if (w->isError()) {
                             answer(Outcome::Failed, {});
                         }
                         w->deleteLater();
                     });
}

bool offers(QDBusConnection bus, const QString& interface) {
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString::fromLatin1(kService))) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({interface, QStringLiteral("version")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, kVersionTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace sonarel::portal

#include "PortalRequest.moc"
