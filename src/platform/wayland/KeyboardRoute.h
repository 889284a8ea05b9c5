#pragma once

#include <cstdint>
#include <vector>

namespace sonarel::wayland {

// X keysyms of the chords that text delivery sends.
inline constexpr std::uint32_t kKeysymShiftL = 0xffe1;
inline constexpr std::uint32_t kKeysymControlL = 0xffe3;
inline constexpr std::uint32_t kKeysymInsert = 0xff63;
inline constexpr std::uint32_t kKeysymReturn = 0xff0d;
inline constexpr std::uint32_t kKeysymV = 'v';

// One way of putting synthesised keys into the focused application on a Wayland desktop.
class KeyboardRoute {
public:
    virtual ~KeyboardRoute() = default;
    // Whether the route can send now (it may have been lost since it was made).
    virtual bool usable() const = 0;
    // Presses the keys in order, then releases them in reverse; false when nothing was sent.
    virtual bool send(const std::vector<std::uint32_t>& keysyms) = 0;
    // Asks the desktop for the permission the route needs, where it asks the user; does not
    // wait for the answer.
    virtual void requestAccess() {}
    // Whether the desktop mixes the keys the user still holds into what the route sends (it is
    // one more keyboard of the seat), rather than giving the route a keyboard state of its own.
    virtual bool sharesHeldKeys() const { return false; }
};

}  // namespace sonarel::wayland
