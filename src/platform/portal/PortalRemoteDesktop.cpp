#include "platform/portal/PortalRemoteDesktop.h"

#include "platform/Logging.h"
#include "platform/PrivateFiles.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QSettings>

namespace sonarel::portal {
namespace {

constexpr auto kInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr uint kKeyboard = 1;
constexpr uint kPersistUntilRevoked = 2;
constexpr std::uint32_t kKeysymShiftL = 0xffe1;
const QString kTokenKey = QStringLiteral("escritorioRemoto/restoreToken");

}  // namespace

QString PortalRemoteDesktop::refusedNotice() {
    return QStringLiteral(
        "El escritorio no dio permiso a Sonarel para escribir: los dictados quedarán en el "
        "portapapeles. Para darlo: «Permitir que Sonarel escriba en otras apps», en el menú de "
        "opciones.");
}

QString PortalRemoteDesktop::endedNotice() {
    return QStringLiteral(
        "El escritorio retiró el permiso de Sonarel para escribir: los dictados quedarán en el "
        "portapapeles. Para darlo de nuevo: «Permitir que Sonarel escriba en otras apps», en el "
        "menú de opciones.");
}

std::unique_ptr<PortalRemoteDesktop> PortalRemoteDesktop::create(QDBusConnection bus, Clock& clock,
                                                                 DesktopNotices& notices,
                                                                 QString tokenFile) {
    if (!offers(bus, QString::fromLatin1(kInterface))) {
        return nullptr;
    }
    std::unique_ptr<PortalRemoteDesktop> route(
        new PortalRemoteDesktop(bus, clock, notices, std::move(tokenFile)));
    if (!route->keptToken().isEmpty()) {
        route->ask();
    }
    return route;
}

PortalRemoteDesktop::PortalRemoteDesktop(QDBusConnection bus, Clock& clock, DesktopNotices& notices,
                                         QString tokenFile)
    : bus_(bus),
      clock_(clock),
      notices_(notices),
      tokenFile_(std::move(tokenFile)),
      watcher_(QString::fromLatin1(kService), bus, QDBusServiceWatcher::WatchForUnregistration) {
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (started_ || warmUp_) {
            end(endedNotice());
        }
    });
}

QString PortalRemoteDesktop::keptToken() const {
    return QSettings(tokenFile_, QSettings::IniFormat).value(kTokenKey).toString();
}

void PortalRemoteDesktop::ask() {
    if (asked_) {
        return;
    }
    asked_ = true;
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("CreateSession"),
            // Each portal session needs a token of its own: the portal refuses a second session
            // with a token it has seen and closes the first with it.
            {QVariantMap{{QStringLiteral("session_handle_token"),
                          QStringLiteral("sonarel_remote_desktop")}}},
            [this](Outcome outcome, const QVariantMap& results) {
                if (outcome != Outcome::Granted) {
                    end(refusedNotice());
                    return;
                }
                session_ = results.value(QStringLiteral("session_handle")).toString();
                bus_.connect(QString::fromLatin1(kService), session_,
                             QStringLiteral("org.freedesktop.portal.Session"),
                             QStringLiteral("Closed"), this, SLOT(closed()));
                selectDevices();
            });
}

void PortalRemoteDesktop::selectDevices() {
    QVariantMap options{{QStringLiteral("types"), kKeyboard},
                        {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
    if (const QString token = keptToken(); !token.isEmpty()) {
        options.insert(QStringLiteral("restore_token"), token);
    }
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface),
            QStringLiteral("SelectDevices"), {QDBusObjectPath(session_), options},
            [this](Outcome outcome, const QVariantMap&) {
                if (outcome != Outcome::Granted) {
                    end(refusedNotice());
                    return;
                }
                start();
            });
}

void PortalRemoteDesktop::start() {
    request(bus_, clock_, kTimeout, this, QString::fromLatin1(kInterface), QStringLiteral("Start"),
            {QDBusObjectPath(session_), QString(), QVariantMap()},
            [this](Outcome outcome, const QVariantMap& results) {
                const uint devices = results.value(QStringLiteral("devices")).toUInt();
                if (outcome != Outcome::Granted || !(devices & kKeyboard)) {
                    end(refusedNotice());
                    return;
                }
                if (const QString token = results.value(QStringLiteral("restore_token")).toString();
                    !token.isEmpty()) {
                    makePrivateFile(tokenFile_);
                    QSettings kept(tokenFile_, QSettings::IniFormat);
                    kept.setValue(kTokenKey, token);
                    kept.sync();
                    if (kept.status() != QSettings::NoError) {
                        qCWarning(logDesktop)
                            << "cannot keep the remote desktop token in" << tokenFile_;
                    }
                }
                warmUp();
            });
}

void PortalRemoteDesktop::warmUp() {
    warmUp_ = clock_.once(kWarmUp, [this] {
        started_ = true;
        cold_ = true;
        warmUp_.reset();  // last: it holds this very callback
    });
    keys_.push_back({kKeysymShiftL, 1});
    keys_.push_back({kKeysymShiftL, 0});
    if (!sendNextKey()) {
        end(refusedNotice());
    }
}

bool PortalRemoteDesktop::send(const std::vector<std::uint32_t>& keysyms) {
    if (!started_) {
        return false;
    }
    keystrokeQueued_ = true;
    std::vector<std::pair<std::uint32_t, uint>> chord;
    for (std::uint32_t keysym : keysyms) {
        chord.push_back({keysym, 1});
    }
    for (auto it = keysyms.rbegin(); it != keysyms.rend(); ++it) {
        chord.push_back({*it, 0});
    }
    if (std::exchange(cold_, false)) {
        // KDE Plasma lost the first chord into an application that took the focus after the
        // session's first keys: one more lone Shift tap goes just before it.
        held_ = std::move(chord);
        chord = {{kKeysymShiftL, 1}, {kKeysymShiftL, 0}};
        warmUp_ = clock_.once(kWarmUp, [this] {
            keys_.insert(keys_.end(), held_.begin(), held_.end());
            held_.clear();
            sendNextKey();
            warmUp_.reset();  // last: it holds this very callback
        });
    } else if (warmUp_) {
        held_.insert(held_.end(), chord.begin(), chord.end());
        return true;
    }
    // Keys already waiting go first; this chord follows them.
    keys_.insert(keys_.end(), chord.begin(), chord.end());
    return sendNextKey();
}

bool PortalRemoteDesktop::sendNextKey() {
    if (keys_.empty() || (!started_ && !warmUp_)) {
        keys_.clear();
        return true;
    }
    // The portal handles each call on a thread of its own and passes it on to the desktop's back
    // end from there, so key events sent before the last one was answered may reach the desktop
    // out of order (KDE Plasma got Shift+Insert's Insert before its Shift): the next one goes
    // once the portal answered this one.
    if (awaitingReply_) {
        return true;
    }
    if (!bus_.isConnected()) {
        return false;
    }
    const auto [keysym, state] = keys_.front();
    keys_.pop_front();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("NotifyKeyboardKeysym"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap(),
                       static_cast<int>(keysym), state});
    // The next key event only once the portal answered this one: xdg-desktop-portal handles each
    // call in a thread of its own, so events sent ahead of the answers reached the desktop out
    // of order (GNOME Terminal got a bare Insert held down; KDE Plasma lost a chord's modifier).
    awaitingReply_ = true;
    auto* reply = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        awaitingReply_ = false;
        if (w->isError()) {
            qCDebug(logDesktop) << "portal key event:" << w->error().message();
        }
        if (!keys_.empty()) {
            sendNextKey();
        } else if (held_.empty() && std::exchange(keystrokeQueued_, false)) {
            // A keystroke's own keys all went, not just a lone tap before it.
            qCDebug(logDesktop) << "portal keys sent";
        }
    });
    return true;
}

void PortalRemoteDesktop::closed() {
    end(endedNotice());
}

void PortalRemoteDesktop::end(const QString& notice) {
    const bool wasStarted = started_ || warmUp_;
    started_ = false;
    cold_ = false;
    keystrokeQueued_ = false;
    warmUp_.reset();
    held_.clear();
    asked_ = false;  // the menu may ask again
    // A restore token the desktop no longer honours would fail every later start.
    if (!wasStarted) {
        QSettings(tokenFile_, QSettings::IniFormat).remove(kTokenKey);
    }
    emit notices_.notice(notice);
}

}  // namespace sonarel::portal
