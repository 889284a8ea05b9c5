#include "platform/x11/KeyCodes.h"

#include <array>

namespace sonarel::x11 {

std::optional<xcb_keysym_t> keysymOfVirtualKey(std::uint16_t virtualKey) {
    // Virtual key codes 0 to 53 name the keys of the US layout by position; 0 marks a gap.
    static constexpr std::array<xcb_keysym_t, 54> keysyms{
        'a', 's',    'd',  'f',    'h', 'g', 'z',    'x', 'c',    'v',   // 0-9
        0,   'b',    'q',  'w',    'e', 'r', 'y',    't', '1',    '2',   // 10-19
        '3', '4',    '6',  '5',    '=', '9', '7',    '-', '8',    '0',   // 20-29
        ']', 'o',    'u',  '[',    'i', 'p', 0xff0d, 'l', 'j',    '\'',  // 30-39
        'k', ';',    '\\', ',',    '/', 'n', 'm',    '.', 0xff09, ' ',   // 40-49
        '`', 0xff08, 0,    0xff1b,                                       // 50-53
    };
    if (virtualKey >= keysyms.size() || keysyms[virtualKey] == 0) {
        return std::nullopt;
    }
    return keysyms[virtualKey];
}

std::uint16_t xModifiersOf(Modifiers modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & Modifier::Super) {
        mask |= XCB_MOD_MASK_4;
    }
    if (modifiers & Modifier::Alt) {
        mask |= XCB_MOD_MASK_1;
    }
    if (modifiers & Modifier::Ctrl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & Modifier::Shift) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    return mask;
}

}  // namespace sonarel::x11
