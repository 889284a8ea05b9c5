#include "platform/wayland/VirtualKeyboard.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QElapsedTimer>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace sonarel::wayland {
namespace {

constexpr std::uint32_t kEvdevOffset = 8;  // xkb keycodes are evdev codes plus 8
constexpr std::uint32_t kPressed = 1;
constexpr std::uint32_t kReleased = 0;

// The keymap text in an anonymous file, as the protocol hands it over.
int keymapFile(const char* text, std::size_t size) {
    const int fd = memfd_create("sonarel-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, text + done, size - done);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return fd;
}

std::uint32_t milliseconds() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(clock.elapsed());
}

}  // namespace

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(WaylandConnection& connection) {
    if (!connection.virtualKeyboards() || !connection.seat()) {
        return nullptr;
    }
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    const xkb_rule_names us{nullptr, nullptr, "us", nullptr, nullptr};
    xkb_keymap* keymap =
        context ? xkb_keymap_new_from_names(context.get(), &us, XKB_KEYMAP_COMPILE_NO_FLAGS)
                : nullptr;
    if (!keymap) {
        return nullptr;
    }
    std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    const std::size_t size = text ? std::strlen(text.get()) + 1 : 0;
    const int fd = text ? keymapFile(text.get(), size) : -1;
    if (fd < 0) {
        xkb_keymap_unref(keymap);
        return nullptr;
    }
    zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        connection.virtualKeyboards(), connection.seat());
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    ::close(fd);
    // A compositor that refuses this client the protocol ends the connection here.
    if (!connection.roundtrip()) {
        xkb_keymap_unref(keymap);
        return nullptr;
    }
    return std::unique_ptr<VirtualKeyboard>(new VirtualKeyboard(connection, keyboard, keymap));
}

VirtualKeyboard::VirtualKeyboard(WaylandConnection& connection, zwp_virtual_keyboard_v1* keyboard,
                                 xkb_keymap* keymap)
    : connection_(connection), keyboard_(keyboard), keymap_(keymap) {}

VirtualKeyboard::~VirtualKeyboard() {
    if (!connection_.broken()) {
        zwp_virtual_keyboard_v1_destroy(keyboard_);
        connection_.flush();
    }
    xkb_keymap_unref(keymap_);
}

std::uint32_t VirtualKeyboard::keyOf(std::uint32_t keysym) const {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_);
         code <= xkb_keymap_max_keycode(keymap_); ++code) {
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, 0, 0, &syms);
        for (int i = 0; i < count; ++i) {
            if (syms[i] == keysym) {
                return code - kEvdevOffset;
            }
        }
    }
    return 0;
}

std::uint32_t VirtualKeyboard::modifierOf(std::uint32_t keysym) const {
    const char* name = keysym == kKeysymShiftL     ? XKB_MOD_NAME_SHIFT
                       : keysym == kKeysymControlL ? XKB_MOD_NAME_CTRL
                                                   : nullptr;
    const xkb_mod_index_t index = name ? xkb_keymap_mod_get_index(keymap_, name) : XKB_MOD_INVALID;
    return index == XKB_MOD_INVALID ? 0 : 1u << index;
}

bool VirtualKeyboard::send(const std::vector<std::uint32_t>& keysyms) {
    std::vector<std::uint32_t> keys;
    for (std::uint32_t keysym : keysyms) {
        const std::uint32_t key = keyOf(keysym);
        if (key == 0 || !usable()) {
            return false;
        }
        keys.push_back(key);
    }
    std::uint32_t modifiers = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        zwp_virtual_keyboard_v1_key(keyboard_, milliseconds(), keys[i], kPressed);
        if (const std::uint32_t bit = modifierOf(keysyms[i])) {
            modifiers |= bit;
            zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers, 0, 0, 0);
        }
    }
    for (std::size_t i = keys.size(); i-- > 0;) {
        zwp_virtual_keyboard_v1_key(keyboard_, milliseconds(), keys[i], kReleased);
        if (const std::uint32_t bit = modifierOf(keysyms[i])) {
            modifiers &= ~bit;
            zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers, 0, 0, 0);
        }
    }
    return connection_.flush();
}

}  // namespace sonarel::wayland
