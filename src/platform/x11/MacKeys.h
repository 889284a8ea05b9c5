#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace sonarel::x11 {

// The keysym of a virtual key code of the US layout (0 is A, 2 is D, 9 is V, 36 is Return).
std::optional<xcb_keysym_t> keysymOfVirtualKey(std::uint16_t virtualKey);

// X modifier bits of a hot-key modifier mask: Command is Super (Mod4), Option is Alt (Mod1),
// Control and Shift are themselves.
std::uint16_t xModifiersOf(std::uint32_t modifiers);

}  // namespace sonarel::x11
