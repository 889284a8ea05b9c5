#pragma once

#include "platform/HotKeyService.h"

#include <utility>
#include <vector>

namespace sonarel::doubles {

// A hot-key service in memory: a test presses combinations and occupies them "elsewhere".
class FakeHotKeyService : public HotKeyService {
public:
    struct Registered {
        std::uint32_t keyCode;
        Modifiers modifiers;
        QString label;
        HotKeyID id;
    };

    void installHandler(PressHandler handler) override;
    void installReleaseHandler(PressHandler handler) override {
        releaseHandler_ = std::move(handler);
    }
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode, Modifiers modifiers,
                                                       const QString& label, HotKeyID id) override;

    // Presses a combination: the handler runs when the combination is registered here.
    void press(std::uint32_t keyCode, Modifiers modifiers);
    // Delivers a press carrying any identifier, as a desktop might.
    void deliver(HotKeyID id);
    // Lets go of the combination that `press` pressed.
    void release(std::uint32_t keyCode, Modifiers modifiers);

    std::vector<std::pair<std::uint32_t, Modifiers>> heldElsewhere;
    std::vector<Registered> registered;  // currently reserved combinations
    int handlersInstalled = 0;

private:
    PressHandler handler_;
    PressHandler releaseHandler_;
};

}  // namespace sonarel::doubles
