#pragma once

#include "platform/wayland/KeyboardRoute.h"
#include "platform/wayland/WaylandConnection.h"

#include <memory>

struct zwp_virtual_keyboard_v1;
struct xkb_keymap;

namespace sonarel::wayland {

// A keyboard of this process's own through the wlroots virtual-keyboard protocol. It carries its
// own US keymap, so a chord means the same whatever layout the user types with, and its own
// modifier state, so keys the user still holds do not mix into it.
class VirtualKeyboard : public KeyboardRoute {
public:
    // None unless the compositor offers the protocol and a seat.
    static std::unique_ptr<VirtualKeyboard> create(WaylandConnection& connection);
    ~VirtualKeyboard() override;

    bool usable() const override { return !connection_.broken(); }
    bool send(const std::vector<std::uint32_t>& keysyms) override;

private:
    VirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard,
                    xkb_keymap* keymap);
    // The evdev code of the key carrying `keysym` at level 1, or 0.
    std::uint32_t keyOf(std::uint32_t keysym) const;
    std::uint32_t modifierOf(std::uint32_t keysym) const;

    WaylandConnection& connection_;
    zwp_virtual_keyboard_v1* keyboard_;
    xkb_keymap* keymap_;
};

}  // namespace sonarel::wayland
