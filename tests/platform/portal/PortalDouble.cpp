// A small stand-in for the desktop portal on a private session bus, for the tests: it answers
// GlobalShortcuts, RemoteDesktop and the host registry as the real one does, records every call
// in a file, one line each, and obeys a control interface to press and release the shortcut or
// to close the remote-desktop session.
// With --olvida it answers BindShortcuts without keeping the shortcut, as KDE Plasma 5's does;
// with --sin-teclas it keeps it without keys, as a desktop whose combination is taken does; with
// --retiene it answers a key event only when told (Responder), as a busy portal answers late;
// --enlace N answers BindShortcuts with code N whatever it kept, as GNOME 48's does.
//   sonarel_portal_double LOG [--respuesta N] [--enlace N] [--mudo] [--olvida] [--sin-teclas]
//                         [--retiene]
#include "platform/portal/Shortcut.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>

#include <deque>

namespace {

using sonarel::portal::Shortcut;
using sonarel::portal::Shortcuts;

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

class Portal : public QDBusVirtualObject {
public:
    Portal(QString log, uint response, uint bindResponse, bool mute, bool forget, bool keyless,
           bool hold)
        : log_(std::move(log)),
          response_(response),
          bindResponse_(bindResponse),
          mute_(mute),
          forget_(forget),
          keyless_(keyless),
          hold_(hold) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusConnection bus(connection);
        const QString member = message.member();
        const QVariantList args = message.arguments();
        const QString iface = message.interface();
        if (member == "Get") {
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        if (member == "Register") {
            record("Register " + args.value(0).toString());
            bus.send(message.createReply());
            return true;
        }
        if (member == "NotifyKeyboardKeysym") {
            record(QStringLiteral("Keysym %1 %2")
                       .arg(QString::number(args.value(2).toInt(), 16), args.value(3).toString()));
            if (hold_) {
                held_.push_back(message);
            } else {
                bus.send(message.createReply());
            }
            return true;
        }
        if (member == "Responder") {
            if (!held_.empty()) {
                bus.send(held_.front().createReply());
                held_.pop_front();
            }
            bus.send(message.createReply());
            return true;
        }
        if (member == "Activar" || member == "Desactivar") {
            QDBusMessage signal =
                QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts",
                                           member == "Activar" ? "Activated" : "Deactivated");
            signal.setArguments({QVariant::fromValue(QDBusObjectPath(session_)),
                                 QStringLiteral("alternar-dictado"), qulonglong(0), QVariantMap()});
            bus.send(signal);
            bus.send(message.createReply());
            return true;
        }
        if (member == "CerrarSesion") {
            bus.send(
                QDBusMessage::createSignal(session_, "org.freedesktop.portal.Session", "Closed"));
            bus.send(message.createReply());
            return true;
        }

        // Every other call answers through a Request object.
        const QVariantMap options =
            args.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(args.last());
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                    .arg(sender, options.value("handle_token").toString());
        QVariantMap results;
        if (member == "CreateSession") {
            session_ = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                           .arg(sender, options.value("session_handle_token").toString());
            results["session_handle"] = session_;
            record(iface.section('.', -1) + ".CreateSession");
        } else if (member == "ListShortcuts" || member == "BindShortcuts") {
            if (member == "BindShortcuts") {
                Shortcuts asked;
                args.value(1).value<QDBusArgument>() >> asked;
                for (const Shortcut& s : asked) {
                    record("BindShortcuts " + s.id + " " +
                           s.properties.value("preferred_trigger").toString());
                    if (!forget_) {
                        bound_.append(s);
                    }
                    if (keyless_ && !bound_.isEmpty()) {
                        bound_.last().properties["trigger_description"] = QString();
                    }
                }
            } else {
                record("ListShortcuts");
            }
            results["shortcuts"] = QVariant::fromValue(bound_);
        } else if (member == "SelectDevices") {
            record("SelectDevices types=" + options.value("types").toString() +
                   " persist=" + options.value("persist_mode").toString() +
                   " token=" + options.value("restore_token").toString());
        } else if (member == "Start") {
            record("Start");
            results["devices"] = uint(1);
            results["restore_token"] = QStringLiteral("ficha-%1").arg(++tokens_);
        }
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        if (!mute_) {
            const uint code = member == "BindShortcuts" ? bindResponse_ : response_;
            QTimer::singleShot(0, [bus, request, code, results]() mutable {
                QDBusMessage signal = QDBusMessage::createSignal(
                    request, "org.freedesktop.portal.Request", "Response");
                signal.setArguments({code, results});
                bus.send(signal);
            });
        }
        return true;
    }

private:
    void record(const QString& line) {
        QFile file(log_);
        file.open(QIODevice::Append);
        file.write((line + '\n').toUtf8());
    }

    QString log_;
    uint response_;
    uint bindResponse_;
    bool mute_;
    bool forget_;
    bool keyless_;
    bool hold_;
    std::deque<QDBusMessage> held_;  // key events not answered yet
    QString session_;
    Shortcuts bound_;
    int tokens_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    sonarel::portal::registerShortcutTypes();
    const QStringList args = app.arguments();
    const auto code = [&](const QString& option, uint otherwise) {
        const int at = args.indexOf(option);
        return at > 0 ? args.value(at + 1).toUInt() : otherwise;
    };
    const uint response = code("--respuesta", 0);
    Portal portal(args.value(1), response, code("--enlace", response), args.contains("--mudo"),
                  args.contains("--olvida"), args.contains("--sin-teclas"),
                  args.contains("--retiene"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kPath, &portal) ||
        !bus.registerService("org.freedesktop.portal.Desktop")) {
        return 1;
    }
    return QCoreApplication::exec();
}
