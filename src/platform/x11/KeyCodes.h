#pragma once

#include "platform/Modifiers.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace sonarel::x11 {

// The keysym of a virtual key code of the US layout (0 is A, 2 is D, 9 is V, 36 is Return).
std::optional<xcb_keysym_t> keysymOfVirtualKey(std::uint16_t virtualKey);

// X modifier bits of a shortcut's modifiers: Super is Mod4, Alt is Mod1.
std::uint16_t xModifiersOf(Modifiers modifiers);

}  // namespace sonarel::x11
