#pragma once

#include "platform/Modifiers.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace sonarel {

// Tags a registered combination: the owner's four-character signature and a number of its own.
struct HotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
};

// A combination reserved system-wide; destroying it releases the combination.
class HotKeyRegistration {
public:
    virtual ~HotKeyRegistration() = default;
};

// The desktop's system-wide shortcuts. Key codes are virtual key codes: keys by their place on
// the US layout (2 is D).
class HotKeyService {
public:
    using PressHandler = std::function<void(HotKeyID)>;

    virtual ~HotKeyService() = default;
    // The handler runs on the main thread, inside the desktop's event dispatch, at every press
    // of any combination registered here, with that combination's identifier.
    virtual void installHandler(PressHandler handler) = 0;
    // Where the desktop reports releases, the handler runs, in the same way, when the key of a
    // combination registered here goes up after its press; elsewhere it never runs.
    virtual void installReleaseHandler(PressHandler handler) { (void)handler; }
    // Reserves the combination until the registration is destroyed; none when the desktop
    // refuses it (another client holds it, or the key does not exist in the keymap). `label` is
    // the combination as the user's texts write it ("Alt+Super+D"), for a back end's notices.
    virtual std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode,
                                                               Modifiers modifiers,
                                                               const QString& label,
                                                               HotKeyID id) = 0;
};

}  // namespace sonarel
