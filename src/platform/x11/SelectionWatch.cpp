#include "platform/x11/SelectionWatch.h"

#include <QCoreApplication>

namespace sonarel::x11 {

std::unique_ptr<SelectionWatch> SelectionWatch::create() {
    std::optional<X11Session> session = X11Session::fromApplication();
    if (!session) {
        return nullptr;
    }
    return std::unique_ptr<SelectionWatch>(new SelectionWatch(*session));
}

SelectionWatch::SelectionWatch(X11Session session)
    : session_(session),
      clipboard_(session.atom("CLIPBOARD")),
      targets_(session.atom("TARGETS")),
      timestamp_(session.atom("TIMESTAMP")) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

SelectionWatch::~SelectionWatch() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool SelectionWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" ||
        (static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7f) !=
            XCB_SELECTION_REQUEST) {
        return false;
    }
    // Seen before Qt answers it.
    const auto* request = static_cast<const xcb_selection_request_event_t*>(message);
    const bool primary = request->selection == XCB_ATOM_PRIMARY;
    if (!primary && request->selection != clipboard_) {
        return false;
    }
    if (request->target == targets_) {
        emit listed(primary);
    } else if (request->target != timestamp_) {
        emit read(primary);
    }
    return false;
}

}  // namespace sonarel::x11
