#pragma once

#include "platform/HotKeyService.h"

#include <set>
#include <utility>
#include <vector>

namespace sonarel::doubles {

// A hot-key service in memory: a test presses combinations and occupies them "elsewhere".
class FakeHotKeyService : public HotKeyService {
public:
    struct Registered {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        HotKeyID id;
    };

    void installHandler(PressHandler handler) override;
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode,
                                                       std::uint32_t modifiers,
                                                       HotKeyID id) override;

    // Presses a combination: the handler runs when the combination is registered here.
    void press(std::uint32_t keyCode, std::uint32_t modifiers);
    // Delivers a press carrying any identifier, as a desktop might.
    void deliver(HotKeyID id);

    std::set<std::pair<std::uint32_t, std::uint32_t>> heldElsewhere;
    std::vector<Registered> registered;  // currently reserved combinations
    int handlersInstalled = 0;

private:
    PressHandler handler_;
};

}  // namespace sonarel::doubles
