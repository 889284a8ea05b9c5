#pragma once

#include "platform/wayland/KeyboardRoute.h"

#include <QString>

#include <memory>

namespace sonarel::wayland {

// A keyboard device of this process's own through the kernel's uinput, for desktops that offer
// neither the virtual-keyboard protocol nor the portal's remote desktop. The compositor takes it
// for a real keyboard: it reads its keys through the user's layout, so only keys that mean the
// same on the usual layouts are sent (Shift, Ctrl, Insert, Return, and V, which QWERTY, QWERTZ,
// AZERTY and Colemak keep in one place), and it shares the state of the keys the user holds.
// The device appears to the compositor some time after it is made: it is made at start-up.
class UinputKeyboard : public KeyboardRoute {
public:
    static constexpr auto kDevice = "/dev/uinput";

    // None unless `device` opens for writing and makes a keyboard (missing, read-only, or not
    // uinput: none).
    static std::unique_ptr<UinputKeyboard> create(
        const QString& device = QString::fromLatin1(kDevice));
    ~UinputKeyboard() override;

    bool usable() const override { return fd_ >= 0; }
    bool send(const std::vector<std::uint32_t>& keysyms) override;
    bool sharesHeldKeys() const override { return true; }

private:
    explicit UinputKeyboard(int fd) : fd_(fd) {}
    bool write(std::uint16_t type, std::uint16_t code, std::int32_t value);
    void lose();

    int fd_;
};

}  // namespace sonarel::wayland
