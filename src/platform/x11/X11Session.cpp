#include "platform/x11/X11Session.h"

#include "platform/x11/XcbReply.h"

#include <QGuiApplication>

#include <cstring>

namespace sonarel::x11 {

std::optional<X11Session> X11Session::fromApplication() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return std::nullopt;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem) {
        return std::nullopt;
    }
    return X11Session(connection, screens.data->root);
}

xcb_atom_t X11Session::atom(const char* name) const {
    const QByteArray key(name);
    if (auto cached = atoms_->constFind(key); cached != atoms_->constEnd()) {
        return *cached;
    }
    auto reply =
        owned(xcb_intern_atom_reply, connection_,
              xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(key.size()), name));
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    atoms_->insert(key, value);
    return value;
}

std::optional<QByteArray> X11Session::property(xcb_window_t window, xcb_atom_t name,
                                               xcb_atom_t type) const {
    auto reply = owned(xcb_get_property_reply, connection_,
                       xcb_get_property(connection_, 0, window, name, type, 0, 16384));
    if (!reply || reply->type == XCB_ATOM_NONE || (type != XCB_ATOM_ANY && reply->type != type)) {
        return std::nullopt;
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::optional<std::uint32_t> X11Session::cardinal(xcb_window_t window, const char* name) const {
    const auto value = property(window, atom(name), XCB_ATOM_CARDINAL);
    if (!value || value->size() < 4) {
        return std::nullopt;
    }
    std::uint32_t number;
    std::memcpy(&number, value->constData(), 4);
    return number;
}

std::vector<xcb_window_t> X11Session::windows(xcb_window_t window, const char* name) const {
    std::vector<xcb_window_t> list;
    if (const auto value = property(window, atom(name), XCB_ATOM_WINDOW)) {
        list.resize(static_cast<std::size_t>(value->size()) / 4);
        std::memcpy(list.data(), value->constData(), list.size() * 4);
    }
    return list;
}

std::vector<xcb_atom_t> X11Session::atoms(xcb_window_t window, const char* name) const {
    std::vector<xcb_atom_t> list;
    if (const auto value = property(window, atom(name), XCB_ATOM_ATOM)) {
        list.resize(static_cast<std::size_t>(value->size()) / 4);
        std::memcpy(list.data(), value->constData(), list.size() * 4);
    }
    return list;
}

std::optional<QString> X11Session::utf8(xcb_window_t window, const char* name) const {
    const auto value = property(window, atom(name), atom("UTF8_STRING"));
    if (!value) {
        return std::nullopt;
    }
    QString text = QString::fromUtf8(*value);
    while (text.endsWith(QChar(0))) {
        text.chop(1);
    }
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

xcb_window_t X11Session::activeWindow() const {
    const std::vector<xcb_window_t> active = windows(root_, "_NET_ACTIVE_WINDOW");
    return active.empty() ? xcb_window_t{XCB_WINDOW_NONE} : active.front();
}

bool X11Session::windowExists(xcb_window_t window) const {
    auto reply = owned(xcb_get_window_attributes_reply, connection_,
                       xcb_get_window_attributes(connection_, window));
    return reply != nullptr;
}

}  // namespace sonarel::x11
