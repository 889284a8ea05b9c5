#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <vector>

namespace sonarel::x11 {

// Qt's own connection to the X server, with the atoms and property reads the desktop services
// share. Requests are synchronous round trips; they are small and local.
class X11Session {
public:
    // None when the application does not run on X11.
    static std::optional<X11Session> fromApplication();

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }

    xcb_atom_t atom(const char* name) const;

    // A property's raw value (at most 64 KiB); none when absent or of another type.
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const;
    std::optional<std::uint32_t> cardinal(xcb_window_t window, const char* name) const;
    std::vector<xcb_window_t> windows(xcb_window_t window, const char* name) const;
    std::vector<xcb_atom_t> atoms(xcb_window_t window, const char* name) const;
    std::optional<QString> utf8(xcb_window_t window, const char* name) const;

    // The window `_NET_ACTIVE_WINDOW` names; 0 for none.
    xcb_window_t activeWindow() const;
    bool windowExists(xcb_window_t window) const;

private:
    X11Session(xcb_connection_t* connection, xcb_window_t root)
        : connection_(connection),
          root_(root),
          atoms_(std::make_shared<QHash<QByteArray, xcb_atom_t>>()) {}

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::shared_ptr<QHash<QByteArray, xcb_atom_t>> atoms_;  // interned once, shared by copies
};

}  // namespace sonarel::x11
