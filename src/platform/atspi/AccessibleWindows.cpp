#include "platform/atspi/AccessibleWindows.h"

#include "platform/Logging.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <algorithm>

namespace sonarel::atspi {
namespace {

const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kObjectEvents = QStringLiteral("org.a11y.atspi.Event.Object");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr uint kStateActive = 1u << 1;  // ATSPI_STATE_ACTIVE, in the first word of the set
// The role of bare windows: GNOME Shell's stage, which its window switcher makes "active" for a
// moment, and menus. Applications' own windows are frames, dialogs and the like.
constexpr uint kRoleWindow = 69;  // ATSPI_ROLE_WINDOW
// An application that does not answer within this is left out until it sends an event.
constexpr int kAnswerTimeoutMs = 5000;

// A list of accessible objects, as (bus name, path).
std::vector<std::pair<QString, QString>> references(const QDBusArgument& list) {
    std::vector<std::pair<QString, QString>> references;
    list.beginArray();
    while (!list.atEnd()) {
        QString name;
        QDBusObjectPath path;
        list.beginStructure();
        list >> name >> path;
        list.endStructure();
        references.emplace_back(name, path.path());
    }
    list.endArray();
    return references;
}

// The object an event's variant argument names.
std::pair<QString, QString> reference(const QVariant& argument) {
    const QDBusArgument structure = argument.value<QDBusVariant>().variant().value<QDBusArgument>();
    QString name;
    QDBusObjectPath path;
    structure.beginStructure();
    structure >> name >> path;
    structure.endStructure();
    return {name, path.path()};
}

QString key(const QString& app, const QString& path) {
    return app + QLatin1Char(' ') + path;
}

}  // namespace

std::unique_ptr<AccessibleWindows> AccessibleWindows::create(const QDBusConnection& session) {
    const QDBusMessage address = QDBusConnection(session).call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, kAnswerTimeoutMs);
    if (address.type() != QDBusMessage::ReplyMessage) {
        qCDebug(logDesktop) << "no accessibility bus:" << address.errorMessage();
        return nullptr;
    }
    static int connections = 0;
    const QString name = QStringLiteral("sonarel-accesibilidad-%1").arg(++connections);
    QDBusConnection bus =
        QDBusConnection::connectToBus(address.arguments().value(0).toString(), name);
    if (!bus.isConnected()) {
        qCDebug(logDesktop) << "the accessibility bus refused the connection:"
                            << bus.lastError().message();
        QDBusConnection::disconnectFromBus(name);
        return nullptr;
    }
    return std::unique_ptr<AccessibleWindows>(new AccessibleWindows(session, bus, name));
}

AccessibleWindows::AccessibleWindows(QDBusConnection session, QDBusConnection bus, QString busName)
    : session_(std::move(session)), bus_(std::move(bus)), busName_(std::move(busName)) {
    bus_.connect({}, {}, kObjectEvents, QStringLiteral("StateChanged"), {QStringLiteral("active")},
                 {}, this, SLOT(onStateChanged(QDBusMessage)));
    // Of the root objects only: the registry's (applications) and each application's (windows).
    bus_.connect({}, kRoot, kObjectEvents, QStringLiteral("ChildrenChanged"), this,
                 SLOT(onChildrenChanged(QDBusMessage)));
    bus_.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                 SLOT(onNameOwnerChanged(QString, QString, QString)));
    // Applications send only the events some client asked the registry for.
    for (const QString& event : {QStringLiteral("object:state-changed:active"),
                                 QStringLiteral("object:children-changed")}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kRegistry, QStringLiteral("/org/a11y/atspi/registry"),
                                           kRegistry, QStringLiteral("RegisterEvent"));
        message.setArguments({event});
        bus_.send(message);
    }
    ask(kRegistry, kRoot, kAccessible, QStringLiteral("GetChildren"), {},
        [this](const QDBusMessage& reply) {
            for (const auto& [app, path] :
                 references(reply.arguments().value(0).value<QDBusArgument>())) {
                addApplication(app);
            }
        });
}

AccessibleWindows::~AccessibleWindows() {
    QDBusConnection::disconnectFromBus(busName_);
}

void AccessibleWindows::ask(const QString& app, const QString& path, const QString& interface,
                            const QString& method, const QVariantList& arguments,
                            std::function<void(const QDBusMessage&)> then) {
    QDBusMessage message = QDBusMessage::createMethodCall(app, path, interface, method);
    message.setArguments(arguments);
    // Owned by this list: an answer that comes after it went reaches nothing.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, kAnswerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, then = std::move(then)] {
        watcher->deleteLater();
        if (watcher->isError()) {
            qCDebug(logDesktop) << "accessibility bus:" << watcher->error().message();
            return;
        }
        then(watcher->reply());
    });
}

void AccessibleWindows::addApplication(const QString& app) {
    if (applications_.contains(app) || app == bus_.baseService()) {
        return;
    }
    applications_.insert(app, {});
    const qint64 pid = bus_.interface()->servicePid(app).value();
    if (pid == QCoreApplication::applicationPid()) {
        return;  // known, and never listed
    }
    ask(app, kRoot, kProperties, QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")},
        [this, app, pid](const QDBusMessage& reply) {
            if (!applications_.contains(app)) {
                return;
            }
            applications_[app].id = applicationId(
                pid, reply.arguments().value(0).value<QDBusVariant>().variant().toString());
            applications_[app].listed = true;
            listWindows(app);
        });
}

QString AccessibleWindows::applicationId(qint64 pid, const QString& ownName) const {
    QDBusConnectionInterface* daemon = session_.interface();
    for (const QString& name : daemon->registeredServiceNames().value()) {
        if (!name.startsWith(QLatin1Char(':')) && entries_.byId(name) &&
            daemon->servicePid(name).value() == pid) {
            return name;
        }
    }
    return ownName;
}

void AccessibleWindows::listWindows(const QString& app) {
    ask(app, kRoot, kAccessible, QStringLiteral("GetChildren"), {},
        [this, app](const QDBusMessage& reply) {
            const auto listed = references(reply.arguments().value(0).value<QDBusArgument>());
            forget(app, [&](const QString& path) {
                return std::none_of(listed.begin(), listed.end(),
                                    [&](const auto& child) { return child.second == path; });
            });
            for (const auto& child : listed) {
                addWindow(app, child.second);
            }
        });
}

void AccessibleWindows::addWindow(const QString& app, const QString& path) {
    if (!applications_.value(app).listed || seen_.contains(key(app, path))) {
        return;
    }
    seen_.insert(key(app, path));
    ask(app, path, kAccessible, QStringLiteral("GetRole"), {},
        [this, app, path](const QDBusMessage& reply) {
            if (reply.arguments().value(0).toUInt() == kRoleWindow ||
                !seen_.contains(key(app, path))) {
                return;
            }
            auto state = std::make_shared<wayland::Toplevel>();
            state->appId = applications_.value(app).id;
            windows_.push_back({app, path, state});
            ask(app, path, kProperties, QStringLiteral("Get"),
                {kAccessible, QStringLiteral("Name")}, [state](const QDBusMessage& name) {
                    state->title =
                        name.arguments().value(0).value<QDBusVariant>().variant().toString();
                });
            ask(app, path, kAccessible, QStringLiteral("GetState"), {},
                [this, app, path](const QDBusMessage& states) {
                    QList<uint> words;
                    states.arguments().value(0).value<QDBusArgument>() >> words;
                    for (const Window& window : windows_) {
                        if (window.app == app && window.path == path && !words.isEmpty()) {
                            setActive(window, words[0] & kStateActive);
                            return;
                        }
                    }
                });
        });
}

void AccessibleWindows::forget(const QString& app,
                               const std::function<bool(const QString&)>& gone) {
    const QString prefix = key(app, {});
    seen_.removeIf([&](const QString& seen) {
        return seen.startsWith(prefix) && gone(seen.mid(prefix.size()));
    });
    std::erase_if(windows_, [&](const Window& window) {
        if (window.app != app || !gone(window.path)) {
            return false;
        }
        window.state->closed = true;
        window.state->activated = false;
        return true;
    });
}

void AccessibleWindows::setActive(const Window& window, bool active) {
    const bool gained = active && !window.state->activated;
    if (gained) {
        for (const Window& other : windows_) {
            other.state->activated = false;
        }
    }
    window.state->activated = active;
    qCDebug(logDesktop) << "accessibility bus:" << window.state->appId << window.path
                        << (active ? "active" : "inactive");
    if (gained) {
        emit activated(window.state);
    }
}

void AccessibleWindows::onStateChanged(const QDBusMessage& message) {
    const QString app = message.service();
    const bool active = message.arguments().value(1).toInt() != 0;
    for (const Window& window : windows_) {
        if (window.app == app && window.path == message.path()) {
            setActive(window, active);
            return;
        }
    }
    // A window (or an application) not listed yet: listed now, each window with its state. An
    // object already asked about is no application window, or its state is being asked for.
    if (seen_.contains(key(app, message.path()))) {
        return;
    }
    if (!applications_.contains(app)) {
        addApplication(app);
    } else if (active && applications_.value(app).listed) {
        listWindows(app);
    }
}

void AccessibleWindows::onChildrenChanged(const QDBusMessage& message) {
    const bool added = message.arguments().value(0).toString().startsWith(QStringLiteral("add"));
    const std::pair<QString, QString> child = reference(message.arguments().value(3));
    if (child.second == kRoot) {
        // The registry's own list: an application came or went.
        if (added) {
            addApplication(child.first);
        } else {
            applications_.remove(child.first);
            forget(child.first, [](const QString&) { return true; });
        }
    } else if (added) {
        addWindow(message.service(), child.second);
    } else {
        forget(message.service(), [&](const QString& path) { return path == child.second; });
    }
}

void AccessibleWindows::onNameOwnerChanged(const QString& name, const QString&,
                                           const QString& after) {
    if (after.isEmpty() && applications_.remove(name) > 0) {
        forget(name, [](const QString&) { return true; });
    }
}

std::vector<std::shared_ptr<const wayland::Toplevel>> AccessibleWindows::open() const {
    std::vector<std::shared_ptr<const wayland::Toplevel>> list;
    for (const Window& window : windows_) {
        list.push_back(window.state);
    }
    return list;
}

std::shared_ptr<const wayland::Toplevel> AccessibleWindows::focused() const {
    for (const Window& window : windows_) {
        if (window.state->activated) {
            return window.state;
        }
    }
    return nullptr;
}

void AccessibleWindows::activate(const wayland::Toplevel&) {}

}  // namespace sonarel::atspi
