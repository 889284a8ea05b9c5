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
    const auto ventana = static_cast<xcb_window_t>(window.winId());
    const auto escribir = [&](const char* nombre, xcb_atom_t tipo,
                              const std::vector<std::uint32_t>& valores) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, ventana, session->atom(nombre), tipo, 32,
                            static_cast<std::uint32_t>(valores.size()), valores.data());
    };

    std::vector<xcb_atom_t> estados = session->atoms(ventana, "_NET_WM_STATE");
    for (const char* nombre : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                               "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        if (std::find(estados.begin(), estados.end(), session->atom(nombre)) == estados.end()) {
            estados.push_back(session->atom(nombre));
        }
    }
    escribir("_NET_WM_STATE", XCB_ATOM_ATOM, estados);
    constexpr std::uint32_t kTodosLosEscritorios = 0xFFFFFFFF;
    escribir("_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {kTodosLosEscritorios});

    std::vector<xcb_atom_t> protocolos = session->atoms(ventana, "WM_PROTOCOLS");
    std::erase(protocolos, session->atom("WM_TAKE_FOCUS"));
    escribir("WM_PROTOCOLS", XCB_ATOM_ATOM, protocolos);
    xcb_flush(c);
}

}  // namespace sonarel::x11
