#include "platform/x11/X11PanelWindowing.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sonarel {
namespace {

xcb_connection_t* conexion() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atomo(xcb_connection_t* c, const char* nombre) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(nombre)), nombre);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::vector<uint32_t> leer(xcb_connection_t* c, xcb_window_t ventana, xcb_atom_t propiedad,
                           xcb_atom_t tipo) {
    const auto cookie = xcb_get_property(c, 0, ventana, propiedad, tipo, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    std::vector<uint32_t> valores;
    if (reply != nullptr && reply->format == 32 && reply->type == tipo) {
        const auto* datos = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        valores.assign(datos, datos + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return valores;
}

void escribir(xcb_connection_t* c, xcb_window_t ventana, xcb_atom_t propiedad, xcb_atom_t tipo,
              const std::vector<uint32_t>& valores) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, ventana, propiedad, tipo, 32,
                        static_cast<uint32_t>(valores.size()), valores.data());
}

}  // namespace

bool X11PanelWindowing::compositing() {
    xcb_connection_t* c = conexion();
    if (c == nullptr) {
        return false;
    }
    char* servidor = nullptr;
    int pantallaX = 0;
    int pantalla = 0;
    if (xcb_parse_display(nullptr, &servidor, &pantallaX, &pantalla) != 0) {
        std::free(servidor);
    }
    const QByteArray nombre = "_NET_WM_CM_S" + QByteArray::number(pantalla);
    const xcb_atom_t seleccion = atomo(c, nombre.constData());
    const auto cookie = xcb_get_selection_owner(c, seleccion);
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(c, cookie, nullptr);
    const bool hay = reply != nullptr && reply->owner != xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    return hay;
}

void X11PanelWindowing::prepare(QWindow& window) {
    xcb_connection_t* c = conexion();
    if (c == nullptr) {
        return;
    }
    const auto ventana = static_cast<xcb_window_t>(window.winId());

    const xcb_atom_t estado = atomo(c, "_NET_WM_STATE");
    std::vector<uint32_t> estados = leer(c, ventana, estado, XCB_ATOM_ATOM);
    for (const char* nombre : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                               "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t a = atomo(c, nombre);
        if (std::find(estados.begin(), estados.end(), a) == estados.end()) {
            estados.push_back(a);
        }
    }
    escribir(c, ventana, estado, XCB_ATOM_ATOM, estados);

    constexpr uint32_t kTodosLosEscritorios = 0xFFFFFFFF;
    escribir(c, ventana, atomo(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, {kTodosLosEscritorios});

    const xcb_atom_t protocolos = atomo(c, "WM_PROTOCOLS");
    std::vector<uint32_t> lista = leer(c, ventana, protocolos, XCB_ATOM_ATOM);
    std::erase(lista, atomo(c, "WM_TAKE_FOCUS"));
    escribir(c, ventana, protocolos, XCB_ATOM_ATOM, lista);
    xcb_flush(c);
}

}  // namespace sonarel
