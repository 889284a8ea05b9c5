#include "platform/x11/X11PanelWindowing.h"

#include "platform/x11/X11Session.h"
#include "platform/x11/XcbReply.h"

#include <QWindow>

#include <algorithm>

namespace sonarel::x11 {

bool X11PanelWindowing::compositing() {
    const auto session = X11Session::fromApplication();
    if (!session) {
        return false;
    }
    xcb_connection_t* c = session->connection();
    const auto reply = owned(xcb_get_selection_owner_reply, c,
                             xcb_get_selection_owner(c, session->atom("_NET_WM_CM_S0")));
    return reply && reply->owner != xcb_window_t{XCB_WINDOW_NONE};
}

void X11PanelWindowing::prepare(QWindow& window) {
    const auto session = X11Session::fromApplication();
    if (!session) {
        return;
    }
    xcb_connection_t* c = session->connection();
    const auto xWindow = static_cast<xcb_window_t>(window.winId());
    const auto setProperty = [&](const char* name, xcb_atom_t type,
                                 const std::vector<std::uint32_t>& values) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, xWindow, session->atom(name), type, 32,
                            static_cast<std::uint32_t>(values.size()), values.data());
    };

    std::vector<xcb_atom_t> states = session->atoms(xWindow, "_NET_WM_STATE");
    for (const char* name : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                             "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        if (std::find(states.begin(), states.end(), session->atom(name)) == states.end()) {
            states.push_back(session->atom(name));
        }
    }
    setProperty("_NET_WM_STATE", XCB_ATOM_ATOM, states);
    constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
    setProperty("_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {kAllDesktops});

    std::vector<xcb_atom_t> protocols = session->atoms(xWindow, "WM_PROTOCOLS");
    std::erase(protocols, session->atom("WM_TAKE_FOCUS"));
    setProperty("WM_PROTOCOLS", XCB_ATOM_ATOM, protocols);
    xcb_flush(c);
}

}  // namespace sonarel::x11
