#pragma once

#include "platform/Clock.h"
#include "platform/DesktopNotices.h"
#include "platform/HotKeyService.h"
#include "platform/portal/Shortcut.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace sonarel::portal {

// The system-wide shortcut through the desktop portal's GlobalShortcuts interface (KDE Plasma,
// GNOME 48 and later, Hyprland). The process has named itself to the portal's host registry
// before (`registerHost`, its installed desktop file's name); this opens a session that names the
// shortcut, and asks for the binding only when the session does not list it already: the
// desktop keeps it, so the user is asked once. Presses come as the portal's Activated signal,
// releases as Deactivated (both to the handlers, for holding the shortcut down). A refusal, a
// portal that does not answer in time or one that goes away mid-session, a binding the desktop did
// not keep, or one left without keys, end in a notice that names the cause and what to do.
class PortalGlobalShortcuts : public QObject, public HotKeyService {
    Q_OBJECT

public:
    static constexpr double kTimeout = 60;  // the user may be reading the desktop's dialog
    static constexpr auto kShortcutId = "alternar-dictado";

    // None unless the portal offers GlobalShortcuts on `bus`.
    static std::unique_ptr<PortalGlobalShortcuts> create(QDBusConnection bus, Clock& clock,
                                                         DesktopNotices& notices);

    void installHandler(PressHandler handler) override { handler_ = std::move(handler); }
    void installReleaseHandler(PressHandler handler) override {
        releaseHandler_ = std::move(handler);
    }
    // A combination other than the one bound asks the desktop to bind the shortcut again, with
    // the new one as its preferred trigger; the notices name the last one asked for.
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode, Modifiers modifiers,
                                                       const QString& label, HotKeyID id) override;

    // Whether the shortcut's keys are down: from Activated to Deactivated.
    std::function<void(bool held)> onHeld;

    // Each names the shortcut by its `label`, but the one about a service that does not answer.
    static QString refusedNotice(const QString& label);
    static QString unansweredNotice();
    static QString unboundNotice(const QString& label);
    static QString keylessNotice(const QString& label);
    static QString goneNotice(const QString& label);

private:
    PortalGlobalShortcuts(QDBusConnection bus, Clock& clock, DesktopNotices& notices);
    friend class PortalRegistration;
    void openSession();
    void listShortcuts();
    void bind();
    Shortcuts shortcuts() const;
    // Whether the portal's answer lists the shortcut; a listed one without keys, or one missing
    // after binding, ends in its notice.
    bool checkBound(const QVariantMap& results, bool afterBinding);
    void fail(const QString& notice);
    // A signal about this session's shortcut.
    bool ours(const QDBusMessage& signal) const;

private slots:
    void activated(const QDBusMessage& signal);
    void deactivated(const QDBusMessage& signal);

private:
    QDBusConnection bus_;
    Clock& clock_;
    DesktopNotices& notices_;
    QDBusServiceWatcher watcher_;
    PressHandler handler_;
    PressHandler releaseHandler_;
    std::optional<HotKeyID> registered_;
    Modifiers modifiers_;
    std::uint32_t keyCode_ = 0;
    QString label_;
    QString session_;
    bool started_ = false;
    bool failed_ = false;
};

}  // namespace sonarel::portal
