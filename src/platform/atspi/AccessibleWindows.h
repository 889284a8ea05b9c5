#pragma once

#include "platform/wayland/WindowList.h"
#include "platform/x11/DesktopEntries.h"

#include <QDBusConnection>
#include <QHash>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

class QDBusMessage;

namespace sonarel::atspi {

// The top-level windows as the accessibility bus (AT-SPI) lists them, for a compositor that tells
// its clients nothing of other windows (GNOME). Every application registered there lists its
// windows under its root object; the one the desktop focused carries the state "active", and
// its change comes as an event, which applications send only once a client asked the registry
// for it. An application's id is the name of a desktop file that its process owns on the session
// bus (a GApplication's id, such as org.gnome.Terminal), else the name it gives itself there.
// Left out: this process's own windows (Qt tells when they have the focus), bare windows (GNOME
// Shell's stage, menus), and applications not on the bus (Qt's, unless the desktop's
// accessibility is on; X11 ones without a bridge): while one of them has the focus no window is
// focused. AT-SPI cannot raise a window (GrabFocus did nothing on GNOME): `activate` does nothing.
class AccessibleWindows : public wayland::WindowList {
    Q_OBJECT

public:
    // None where the session has no accessibility bus.
    static std::unique_ptr<AccessibleWindows> create(const QDBusConnection& session);
    ~AccessibleWindows() override;

    std::vector<std::shared_ptr<const wayland::Toplevel>> open() const override;
    std::shared_ptr<const wayland::Toplevel> focused() const override;
    void activate(const wayland::Toplevel& toplevel) override;

private slots:
    void onStateChanged(const QDBusMessage& message);
    void onChildrenChanged(const QDBusMessage& message);
    void onNameOwnerChanged(const QString& name, const QString& before, const QString& after);

private:
    struct Window {
        QString app;  // its application's name on the accessibility bus
        QString path;
        std::shared_ptr<wayland::Toplevel> state;
    };
    struct Application {
        QString id;
        bool listed = false;  // its id is known and its windows were asked for
    };

    AccessibleWindows(QDBusConnection session, QDBusConnection bus, QString busName);
    // Calls `method` of an application's object; `then` gets the answer, never an error.
    void ask(const QString& app, const QString& path, const QString& interface,
             const QString& method, const QVariantList& arguments,
             std::function<void(const QDBusMessage&)> then);
    void addApplication(const QString& app);
    void listWindows(const QString& app);
    void addWindow(const QString& app, const QString& path);
    // Closes the application's windows whose path is `gone`.
    void forget(const QString& app, const std::function<bool(const QString&)>& gone);
    void setActive(const Window& window, bool active);
    QString applicationId(qint64 pid, const QString& ownName) const;

    QDBusConnection session_;
    QDBusConnection bus_;
    QString busName_;
    x11::DesktopEntries entries_;
    QHash<QString, Application> applications_;
    std::vector<Window> windows_;  // in the order they were found
    QSet<QString> seen_;           // every top-level object asked about, window or not
};

}  // namespace sonarel::atspi
