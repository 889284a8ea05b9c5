#include "platform/portal/PortalGlobalShortcuts.h"

#include "platform/portal/PortalRequest.h"
#include "platform/portal/Shortcut.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>

namespace sonarel::portal {

inline constexpr auto kInterface = "org.freedesktop.portal.GlobalShortcuts";

class PortalRegistration : public HotKeyRegistration {
public:
    explicit PortalRegistration(PortalGlobalShortcuts& owner) : owner_(&owner) {}
    ~PortalRegistration() override {
        if (owner_) {
            owner_->registered_.reset();
        }
    }

private:
    QPointer<PortalGlobalShortcuts> owner_;
};

namespace {

// The preferred trigger in the portal's shortcut notation (as XDG shortcut strings write it).
QString trigger(std::uint32_t keyCode, Modifiers modifiers) {
    QStringList parts;
    if (modifiers & Modifier::Ctrl) {
        parts << QStringLiteral("CTRL");
    }
    if (modifiers & Modifier::Alt) {
        parts << QStringLiteral("ALT");
    }
    if (modifiers & Modifier::Shift) {
        parts << QStringLiteral("SHIFT");
    }
    if (modifiers & Modifier::Super) {
        parts << QStringLiteral("LOGO");
    }
    parts << (keyCode == 2 ? QStringLiteral("d") : QString());
    return parts.join(QLatin1Char('+'));
}

}  // namespace

QString PortalGlobalShortcuts::refusedNotice() {
    return QStringLiteral(
        "El escritorio no concedió el atajo Alt+Super+D. Puedes asignar la orden «sonarel "
        "--alternar» a un atajo en sus ajustes de teclado.");
}

QString PortalGlobalShortcuts::unansweredNotice() {
    return QStringLiteral(
        "El servicio de atajos del escritorio no respondió. Puedes asignar la orden «sonarel "
        "--alternar» a un atajo en sus ajustes de teclado.");
}

QString PortalGlobalShortcuts::goneNotice() {
    return QStringLiteral(
        "El servicio de atajos del escritorio se detuvo y Alt+Super+D ya no funciona. Puedes "
        "usar la orden «sonarel --alternar».");
}

std::unique_ptr<PortalGlobalShortcuts> PortalGlobalShortcuts::create(QDBusConnection bus,
                                                                     Clock& clock,
                                                                     DesktopNotices& notices,
                                                                     QString appId) {
    if (!offers(bus, QString::fromLatin1(kInterface))) {
        return nullptr;
    }
    return std::unique_ptr<PortalGlobalShortcuts>(
        new PortalGlobalShortcuts(bus, clock, notices, std::move(appId)));
}

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus, Clock& clock,
                                             DesktopNotices& notices, QString appId)
    : bus_(bus),
      clock_(clock),
      notices_(notices),
      appId_(std::move(appId)),
      watcher_(QString::fromLatin1(kService), bus, QDBusServiceWatcher::WatchForUnregistration) {
    registerShortcutTypes();
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (!session_.isEmpty() && !failed_) {
            session_.clear();
            fail(goneNotice());
        }
    });
    bus_.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                 QString::fromLatin1(kInterface), QStringLiteral("Activated"), this,
                 SLOT(activated(QDBusMessage)));
    bus_.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                 QString::fromLatin1(kInterface), QStringLiteral("Deactivated"), this,
                 SLOT(deactivated(QDBusMessage)));
}

std::unique_ptr<HotKeyRegistration> PortalGlobalShortcuts::registerHotKey(std::uint32_t keyCode,
                                                                          Modifiers modifiers,
                                                                          HotKeyID id) {
    if (failed_) {
        return nullptr;
    }
    registered_ = id;
    keyCode_ = keyCode;
    modifiers_ = modifiers;
    if (!started_) {
        started_ = true;
        // A host application outside a sandbox names itself first; portals older than the
        // registry do not know the call, which changes nothing else.
        QDBusMessage registration = QDBusMessage::createMethodCall(
            QString::fromLatin1(kService), QString::fromLatin1(kPath),
            QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
        registration.setArguments({appId_, QVariantMap()});
        bus_.call(registration, QDBus::NoBlock);
        openSession();
    }
    return std::make_unique<PortalRegistration>(*this);
}

void PortalGlobalShortcuts::openSession() {
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("CreateSession"),
            // Each portal session needs a token of its own: the portal refuses a second session
            // with a token it has seen and closes the first with it.
            {QVariantMap{
                {QStringLiteral("session_handle_token"), QStringLiteral("sonarel_shortcuts")}}},
            [this](Outcome outcome, const QVariantMap& results) {
                if (outcome != Outcome::Granted) {
                    fail(outcome == Outcome::TimedOut ? unansweredNotice() : refusedNotice());
                    return;
                }
                session_ = results.value(QStringLiteral("session_handle")).toString();
                listShortcuts();
            });
}

void PortalGlobalShortcuts::listShortcuts() {
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("ListShortcuts"), {QDBusObjectPath(session_), QVariantMap()},
            [this](Outcome outcome, const QVariantMap& results) {
                Shortcuts bound;
                if (outcome == Outcome::Granted) {
                    results.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >> bound;
                }
                const bool known = std::any_of(bound.begin(), bound.end(), [](const Shortcut& s) {
                    return s.id == QLatin1String(kShortcutId);
                });
                if (!known) {
                    bind();
                }
            });
}

void PortalGlobalShortcuts::bind() {
    const Shortcuts shortcuts{
        {QString::fromLatin1(kShortcutId),
         {{QStringLiteral("description"), QStringLiteral("Empezar o terminar un dictado")},
          {QStringLiteral("preferred_trigger"), trigger(keyCode_, modifiers_)}}}};
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("BindShortcuts"),
            {QDBusObjectPath(session_), QVariant::fromValue(shortcuts), QString(), QVariantMap()},
            [this](Outcome outcome, const QVariantMap&) {
                if (outcome != Outcome::Granted) {
                    fail(outcome == Outcome::TimedOut ? unansweredNotice() : refusedNotice());
                }
            });
}

void PortalGlobalShortcuts::fail(const QString& notice) {
    if (failed_) {
        return;
    }
    failed_ = true;
    // A request that failed because the portal went away says so, whichever news came first.
    const bool gone =
        !bus_.interface() || !bus_.interface()->isServiceRegistered(QString::fromLatin1(kService));
    emit notices_.notice(gone ? goneNotice() : notice);
}

bool PortalGlobalShortcuts::ours(const QDBusMessage& signal) const {
    const QVariantList args = signal.arguments();
    return args.size() >= 2 && args[0].value<QDBusObjectPath>().path() == session_ &&
           args[1].toString() == QLatin1String(kShortcutId);
}

void PortalGlobalShortcuts::activated(const QDBusMessage& signal) {
    if (!ours(signal) || failed_) {
        return;
    }
    if (onHeld) {
        onHeld(true);
    }
    if (registered_ && handler_) {
        handler_(*registered_);
    }
}

void PortalGlobalShortcuts::deactivated(const QDBusMessage& signal) {
    if (ours(signal) && onHeld) {
        onHeld(false);
    }
}

}  // namespace sonarel::portal
