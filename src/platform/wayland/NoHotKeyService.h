#pragma once

#include "platform/HotKeyService.h"

namespace sonarel::wayland {

// A desktop that lets no client reserve a shortcut: every combination is refused, and the user
// binds the command `sonarel --alternar` in the desktop's own settings instead.
class NoHotKeyService : public HotKeyService {
public:
    void installHandler(PressHandler) override {}
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t, Modifiers, const QString&,
                                                       HotKeyID) override {
        return nullptr;
    }
};

}  // namespace sonarel::wayland
