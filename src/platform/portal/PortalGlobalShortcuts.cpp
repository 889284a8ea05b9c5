#include "platform/portal/PortalGlobalShortcuts.h"

#include "platform/Logging.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/Shortcut.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>

#include <algorithm>
#include <string_view>

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
    // The keysym names of the letters and digits by virtual key code; other keys are left for
    // the desktop's dialog to choose.
    static constexpr std::string_view kKeys = "asdfhgzxcv bqweryt123465 97 80 ou ip lj k    nm";
    const char key = keyCode < kKeys.size() ? kKeys[keyCode] : ' ';
    parts << (key != ' ' ? QString(QLatin1Char(key)) : QString());
    return parts.join(QLatin1Char('+'));
}

}  // namespace

QString PortalGlobalShortcuts::refusedNotice(const QString& label) {
    return QStringLiteral(
               "El escritorio no concedió el atajo %1. Puedes asignar la orden «sonarel "
               "--alternar» a un atajo en sus ajustes de teclado.")
        .arg(label);
}

QString PortalGlobalShortcuts::unansweredNotice() {
    return QStringLiteral(
        "El servicio de atajos del escritorio no respondió. Puedes asignar la orden «sonarel "
        "--alternar» a un atajo en sus ajustes de teclado.");
}

QString PortalGlobalShortcuts::unboundNotice(const QString& label) {
    return QStringLiteral(
               "El escritorio no registró el atajo %1. Puedes asignar la orden «sonarel "
               "--alternar» a un atajo en sus ajustes de teclado.")
        .arg(label);
}

QString PortalGlobalShortcuts::keylessNotice(const QString& label) {
    return QStringLiteral(
               "%1 ya tiene otro uso en este escritorio: elige otra combinación para «Empezar o "
               "terminar un dictado» en sus ajustes de atajos.")
        .arg(label);
}

QString PortalGlobalShortcuts::goneNotice(const QString& label) {
    return QStringLiteral(
               "El servicio de atajos del escritorio se detuvo y %1 ya no funciona. Puedes "
               "usar la orden «sonarel --alternar».")
        .arg(label);
}

std::unique_ptr<PortalGlobalShortcuts> PortalGlobalShortcuts::create(QDBusConnection bus,
                                                                     Clock& clock,
                                                                     DesktopNotices& notices) {
    if (!offers(bus, QString::fromLatin1(kInterface))) {
        return nullptr;
    }
    return std::unique_ptr<PortalGlobalShortcuts>(new PortalGlobalShortcuts(bus, clock, notices));
}

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus, Clock& clock,
                                             DesktopNotices& notices)
    : bus_(bus),
      clock_(clock),
      notices_(notices),
      watcher_(QString::fromLatin1(kService), bus, QDBusServiceWatcher::WatchForUnregistration) {
    registerShortcutTypes();
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (!session_.isEmpty() && !failed_) {
            session_.clear();
            fail(goneNotice(label_));
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
                                                                          const QString& label,
                                                                          HotKeyID id) {
    if (failed_) {
        return nullptr;
    }
    registered_ = id;
    const bool changed = keyCode != keyCode_ || modifiers != modifiers_;
    keyCode_ = keyCode;
    modifiers_ = modifiers;
    label_ = label;
    if (started_ && changed && !session_.isEmpty()) {
        bind();
    }
    if (!started_) {
        started_ = true;
        openSession();
    }
    return std::make_unique<PortalRegistration>(*this);
}

Shortcuts PortalGlobalShortcuts::shortcuts() const {
    return {{QString::fromLatin1(kShortcutId),
             {{QStringLiteral("description"), QStringLiteral("Empezar o terminar un dictado")},
              {QStringLiteral("preferred_trigger"), trigger(keyCode_, modifiers_)}}}};
}

void PortalGlobalShortcuts::openSession() {
    request(
        bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
        QStringLiteral("CreateSession"),
        // Each portal session needs a token of its own: the portal refuses a second session
        // with a token it has seen and closes the first with it. KDE Plasma 5 binds the
        // shortcuts a session is created with, and only those (its BindShortcuts opens the
        // shortcut settings instead); later portals drop the option.
        {QVariantMap{{QStringLiteral("session_handle_token"), QStringLiteral("sonarel_shortcuts")},
                     {QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts())}}},
        [this](Outcome outcome, const QVariantMap& results) {
            if (outcome != Outcome::Granted) {
                fail(outcome == Outcome::TimedOut ? unansweredNotice() : refusedNotice(label_));
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
                if (outcome == Outcome::TimedOut) {
                    fail(unansweredNotice());
                    return;
                }
                // Bound already, by an earlier run or at the session's creation: binding again
                // would show the desktop's dialog (or its settings) at every start.
                if (!checkBound(results, false)) {
                    bind();
                }
            });
}

void PortalGlobalShortcuts::bind() {
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("BindShortcuts"),
            {QDBusObjectPath(session_), QVariant::fromValue(shortcuts()), QString(), QVariantMap()},
            [this](Outcome outcome, const QVariantMap& results) {
                if (outcome == Outcome::Granted) {
                    checkBound(results, true);
                    return;
                }
                // GNOME 48's portal answers a binding that took with an arbitrary code (2 as
                // seen), the bound shortcuts in hand: what it lists is what holds.
                if (outcome != Outcome::TimedOut && checkBound(results, false)) {
                    qCWarning(logDesktop) << "the portal bound the shortcut though it answered no";
                    return;
                }
                fail(outcome == Outcome::TimedOut ? unansweredNotice() : refusedNotice(label_));
            });
}

bool PortalGlobalShortcuts::checkBound(const QVariantMap& results, bool afterBinding) {
    Shortcuts bound;
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    if (listed.metaType() == QMetaType::fromType<QDBusArgument>()) {
        listed.value<QDBusArgument>() >> bound;
    }
    const auto ours = std::find_if(bound.begin(), bound.end(), [](const Shortcut& s) {
        return s.id == QLatin1String(kShortcutId);
    });
    if (ours == bound.end()) {
        if (afterBinding) {
            qCWarning(logDesktop) << "the portal answered the binding without the shortcut";
            fail(unboundNotice(label_));
        }
        return false;
    }
    // A desktop that gave the combination to something else keeps the shortcut without keys.
    const QString keys = ours->properties.value(QStringLiteral("trigger_description")).toString();
    qCDebug(logDesktop) << "portal shortcut bound to" << keys;
    if (ours->properties.contains(QStringLiteral("trigger_description")) && keys.isEmpty()) {
        fail(keylessNotice(label_));
    }
    return true;
}

void PortalGlobalShortcuts::fail(const QString& notice) {
    if (failed_) {
        return;
    }
    failed_ = true;
    // A request that failed because the portal went away says so, whichever news came first.
    const bool gone =
        !bus_.interface() || !bus_.interface()->isServiceRegistered(QString::fromLatin1(kService));
    emit notices_.notice(gone ? goneNotice(label_) : notice);
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
    if (!ours(signal) || failed_) {
        return;
    }
    if (onHeld) {
        onHeld(false);
    }
    if (registered_ && releaseHandler_) {
        releaseHandler_(*registered_);
    }
}

}  // namespace sonarel::portal
