#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace sonarel {

// Tags a registered combination: the owner's four-character signature and a number of its own.
struct HotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
};

// Modifier bits of a registered combination.
inline constexpr std::uint32_t kCommandModifier = 0x0100;
inline constexpr std::uint32_t kShiftModifier = 0x0200;
inline constexpr std::uint32_t kOptionModifier = 0x0800;
inline constexpr std::uint32_t kControlModifier = 0x1000;

// A combination reserved system-wide; destroying it releases the combination.
class HotKeyRegistration {
public:
    virtual ~HotKeyRegistration() = default;
};

// The desktop's system-wide shortcuts. Key codes are virtual key codes (2 is D).
class HotKeyService {
public:
    using PressHandler = std::function<void(HotKeyID)>;

    virtual ~HotKeyService() = default;
    // The handler runs on the main thread, inside the desktop's event dispatch, at every press
    // of any combination registered here, with that combination's identifier.
    virtual void installHandler(PressHandler handler) = 0;
    // Reserves the combination until the registration is destroyed; none when the desktop
    // refuses it (another client holds it, or the key does not exist in the keymap).
    virtual std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode,
                                                               std::uint32_t modifiers,
                                                               HotKeyID id) = 0;
};

}  // namespace sonarel
