#pragma once

#include "platform/Clock.h"
#include "platform/DesktopNotices.h"
#include "platform/wayland/KeyboardRoute.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace sonarel::portal {

// Keystrokes through the desktop portal's RemoteDesktop interface (GNOME, KDE Plasma): a session
// with the keyboard, started once the user allows it in the desktop's dialog. The dialog takes
// the focus, so it is opened only when the application asks (`ask`: at its start, or from its
// menu), never from a dictation. Where the portal keeps permissions (version 2, a restore token
// in the answer), the token is kept in `tokenFile` and later sessions start without the dialog.
// Keys go as keysyms, which the desktop maps onto its current layout, one key event at a time. A
// refusal, no answer in time, or a session closed or a portal gone mid-session make the route
// unusable, with a notice.
//
// A started session's first keys can be lost: mutter adds the session's keyboard to the seat at
// its first key, and applications bind it only after that key was dispatched (on a seat with no
// other keyboard, as on a headless or remote desktop, none had a keyboard before). So a lone
// Shift tap goes first, and the route is usable `kWarmUp` later. KDE Plasma lost the first chord
// into an application focused after that tap, so the session's first keystroke also follows a
// tap of its own by `kWarmUp`.
class PortalRemoteDesktop : public QObject, public wayland::KeyboardRoute {
    Q_OBJECT

public:
    static constexpr double kTimeout = 60;   // the user may be reading the desktop's dialog
    static constexpr double kWarmUp = 0.25;  // a round trip of every application, with margin

    // None unless the portal offers RemoteDesktop on `bus`. With a kept token the session is
    // restored at once.
    static std::unique_ptr<PortalRemoteDesktop> create(QDBusConnection bus, Clock& clock,
                                                       DesktopNotices& notices, QString tokenFile);

    bool usable() const override { return started_; }
    bool send(const std::vector<std::uint32_t>& keysyms) override;
    // Opens the session, showing the desktop's dialog unless a kept token spares it; again after
    // a refusal, never while a session is being opened or runs.
    void ask();
    bool sharesHeldKeys() const override { return true; }

    static QString refusedNotice();
    static QString endedNotice();

private:
    PortalRemoteDesktop(QDBusConnection bus, Clock& clock, DesktopNotices& notices,
                        QString tokenFile);
    void selectDevices();
    void start();
    void end(const QString& notice);
    // Sends the first waiting key event, and the next one once the portal answered it; false
    // when the bus refused it.
    bool sendNextKey();
    QString keptToken() const;
    void warmUp();

private slots:
    void closed();

private:
    QDBusConnection bus_;
    Clock& clock_;
    DesktopNotices& notices_;
    QString tokenFile_;
    QDBusServiceWatcher watcher_;
    QString session_;
    std::unique_ptr<Timer> warmUp_;
    bool asked_ = false;
    bool started_ = false;
    bool cold_ = false;                                 // no keystroke sent yet in this session
    std::deque<std::pair<std::uint32_t, uint>> keys_;   // keysym, pressed
    std::vector<std::pair<std::uint32_t, uint>> held_;  // behind the first keystroke's tap
};

}  // namespace sonarel::portal
