#include "platform/x11/X11Desktop.h"

#include "platform/x11/FocusedWindow.h"
#include "platform/x11/X11Application.h"
#include "platform/x11/XcbReply.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>

namespace sonarel::x11 {

std::unique_ptr<X11Desktop> X11Desktop::create(Clock& clock, TerminalTest isTerminal) {
    std::optional<X11Session> session = X11Session::fromApplication();
    if (!session) {
        return nullptr;
    }
    return std::unique_ptr<X11Desktop>(new X11Desktop(*session, clock, std::move(isTerminal)));
}

X11Desktop::X11Desktop(X11Session session, Clock& clock, TerminalTest isTerminal)
    : session_(session),
      isTerminal_(std::move(isTerminal)),
      keyboard_(session, clock,
                [this](xcb_window_t window) {
                    if (window == XCB_WINDOW_NONE || !isTerminal_) {
                        return false;
                    }
                    const auto id = identify(session_, entries_, window).applicationId;
                    return id && isTerminal_(*id);
                }),
      activeWindowAtom_(session.atom("_NET_ACTIVE_WINDOW")) {
    // Add property changes to the root's event mask that Qt already selected, keeping the rest.
    xcb_connection_t* connection = session_.connection();
    auto attributes = owned(xcb_get_window_attributes_reply, connection,
                            xcb_get_window_attributes(connection, session_.root()));
    const std::uint32_t mask =
        (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, session_.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Desktop::~X11Desktop() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

Application X11Desktop::applicationOf(xcb_window_t window) {
    if (window == XCB_WINDOW_NONE) {
        return nullptr;
    }
    QPointer<X11Desktop> self(this);
    return std::make_shared<X11Application>(session_, identify(session_, entries_, window),
                                            [self](xcb_window_t target) {
                                                if (self) {
                                                    self->keyboard_.expectActivation(target);
                                                }
                                            });
}

bool X11Desktop::ownWindowHasFocus() {
    return x11::ownWindowHasFocus();
}

Application X11Desktop::frontmostApplication() {
    return applicationOf(session_.activeWindow());
}

std::vector<Application> X11Desktop::runningApplications() {
    std::vector<Application> apps;
    std::vector<qint64> seen;
    for (xcb_window_t window : session_.windows(session_.root(), "_NET_CLIENT_LIST")) {
        Application app = applicationOf(window);
        const qint64 pid = app->processIdentifier();
        if (pid > 0) {
            if (std::find(seen.begin(), seen.end(), pid) != seen.end()) {
                continue;
            }
            seen.push_back(pid);
        }
        apps.push_back(std::move(app));
    }
    return apps;
}

qint64 X11Desktop::processIdentifier() const {
    return QCoreApplication::applicationPid();
}

std::optional<QString> X11Desktop::applicationId() const {
    // What this process's own windows announce, by the rule applied to every window: Qt names
    // the program in the instance and the application in the class of WM_CLASS.
    return applicationIdOfClass(entries_,
                                QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                                QCoreApplication::applicationName());
}

void X11Desktop::setClipboardText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    clipboard->setText(text, QClipboard::Selection);
}

bool X11Desktop::mayPostKeystrokes() {
    return keyboard_.available();
}

bool X11Desktop::postKeystroke(Keystroke keystroke) {
    return keyboard_.post(keystroke);
}

bool X11Desktop::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
        // Qt answers it once this filter returns.
        const auto* request = static_cast<const xcb_selection_request_event_t*>(message);
        keyboard_.selectionRequested(request->requestor, request->target);
    }
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        if (notify->window == session_.root() && notify->atom == activeWindowAtom_) {
            activeWindowChanged();
        }
    }
    return false;
}

void X11Desktop::activeWindowChanged() {
    // Window managers pass through 0 between two windows: not an activation. The same window
    // named again is announced again: window ids are reused once their client has gone.
    const xcb_window_t active = session_.activeWindow();
    if (active != XCB_WINDOW_NONE) {
        emit applicationActivated(applicationOf(active));
    }
}

}  // namespace sonarel::x11
