#pragma once

#include <QFlags>

#include <cstdint>

namespace sonarel {

// The modifier keys of a shortcut or a synthesised keystroke, by their Linux names; each back end
// maps them onto its own (X11 Mod4 and Mod1 for Super and Alt, the portal's LOGO and ALT).
enum class Modifier : std::uint32_t {
    Shift = 0x1,
    Ctrl = 0x2,
    Alt = 0x4,
    Super = 0x8,
};
Q_DECLARE_FLAGS(Modifiers, Modifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modifiers)

}  // namespace sonarel
