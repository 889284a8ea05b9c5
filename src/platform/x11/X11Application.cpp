#include "platform/x11/X11Application.h"

#include "platform/x11/DesktopEntries.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>

namespace sonarel::x11 {
namespace {

// WM_CLASS holds the instance name and the class name, each ending in a NUL.
std::pair<QString, QString> windowClass(const X11Session& session, xcb_window_t window) {
    const auto value = session.property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (!value) {
        return {};
    }
    const QList<QByteArray> parts = value->split('\0');
    return {parts.value(0).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(0)),
            parts.value(1).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(1))};
}

bool isReverseDns(const QString& id) {
    return id.contains(QLatin1Char('.'));
}

bool processGone(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) {
        return true;
    }
    // A process that has ended but whose parent has not yet reaped it.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
}

}  // namespace

std::optional<QString> applicationIdOfClass(const DesktopEntries& entries, const QString& instance,
                                            const QString& className) {
    std::optional<DesktopEntries::Entry> entry = entries.byWindowClass(className);
    if (!entry) {
        entry = entries.byWindowClass(instance);
    }
    if (entry && isReverseDns(entry->id)) {
        return entry->id;
    }
    if (!className.isEmpty()) {
        return className;
    }
    return instance.isEmpty() ? std::nullopt : std::optional<QString>(instance);
}

WindowIdentity identify(const X11Session& session, const DesktopEntries& entries,
                        xcb_window_t window) {
    WindowIdentity identity;
    identity.window = window;
    identity.pid = session.cardinal(window, "_NET_WM_PID").value_or(0);

    const auto [instance, className] = windowClass(session, window);
    std::optional<DesktopEntries::Entry> entry;
    if (auto gtk = session.utf8(window, "_GTK_APPLICATION_ID")) {
        identity.applicationId = gtk;
    } else if (auto kde = session.utf8(window, "_KDE_NET_WM_DESKTOP_FILE")) {
        identity.applicationId = kde;
    } else {
        identity.applicationId = applicationIdOfClass(entries, instance, className);
    }
    // The name comes from the application's desktop file, found by its id or, as file ids are
    // usually lower case, by its window's names.
    for (const QString& id :
         {identity.applicationId.value_or(QString()), className.toLower(), instance}) {
        if (!entry && !id.isEmpty()) {
            entry = entries.byId(id);
        }
    }
    if (entry && !entry->name.isEmpty()) {
        identity.name = entry->name;
    } else if (!className.isEmpty()) {
        identity.name = className;
    }

    // An ordinary application shows a normal window: one typed normal, or untyped and not
    // transient for another.
    const std::vector<xcb_atom_t> types = session.atoms(window, "_NET_WM_WINDOW_TYPE");
    const bool normal =
        types.empty()
            ? !session.property(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW).has_value()
            : std::find(types.begin(), types.end(), session.atom("_NET_WM_WINDOW_TYPE_NORMAL")) !=
                  types.end();
    identity.activationPolicy = normal ? kRegularActivationPolicy : 1;
    return identity;
}

X11Application::X11Application(X11Session session, WindowIdentity identity,
                               std::function<void(xcb_window_t)> activating)
    : session_(std::move(session)),
      identity_(std::move(identity)),
      activating_(std::move(activating)) {}

bool X11Application::isTerminated() const {
    if (identity_.pid > 0) {
        return processGone(identity_.pid);
    }
    return !session_.windowExists(identity_.window);
}

// The window manager lists a window until it has handled its destruction, a moment after the
// server destroyed it: a listed window counts only while it still exists.
xcb_window_t X11Application::currentWindow() const {
    const std::vector<xcb_window_t> clients = session_.windows(session_.root(), "_NET_CLIENT_LIST");
    const auto usable = [&](xcb_window_t window) { return session_.windowExists(window); };
    if (std::find(clients.begin(), clients.end(), identity_.window) != clients.end() &&
        usable(identity_.window)) {
        return identity_.window;
    }
    if (identity_.pid > 0) {
        for (auto it = clients.rbegin(); it != clients.rend(); ++it) {
            if (session_.cardinal(*it, "_NET_WM_PID") == identity_.pid && usable(*it)) {
                return *it;
            }
        }
    }
    return XCB_WINDOW_NONE;
}

void X11Application::activate() {
    // An application that has quit, or has no window left, cannot come to the front: nothing to
    // wait for.
    if (isTerminated()) {
        return;
    }
    const xcb_window_t window = currentWindow();
    if (window == XCB_WINDOW_NONE) {
        return;
    }
    if (activating_) {
        activating_(window);
    }
    // Source indication 2 (a pager): the window manager honours it without focus-stealing rules.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = session_.atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(session_.connection(), 0, session_.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(session_.connection());
}

}  // namespace sonarel::x11
