#include "platform/doubles/FakeHotKeyService.h"

#include <algorithm>

namespace sonarel::doubles {
namespace {

class FakeRegistration : public HotKeyRegistration {
public:
    FakeRegistration(FakeHotKeyService& service, FakeHotKeyService::Registered entry)
        : service_(service), entry_(entry) {
        service_.registered.push_back(entry_);
    }
    ~FakeRegistration() override {
        std::erase_if(service_.registered, [this](const auto& r) {
            return r.keyCode == entry_.keyCode && r.modifiers == entry_.modifiers;
        });
    }

private:
    FakeHotKeyService& service_;
    FakeHotKeyService::Registered entry_;
};

}  // namespace

void FakeHotKeyService::installHandler(PressHandler handler) {
    handler_ = std::move(handler);
    ++handlersInstalled;
}

std::unique_ptr<HotKeyRegistration> FakeHotKeyService::registerHotKey(std::uint32_t keyCode,
                                                                      Modifiers modifiers,
                                                                      const QString& label,
                                                                      HotKeyID id) {
    if (std::ranges::find(heldElsewhere, std::pair{keyCode, modifiers}) != heldElsewhere.end()) {
        return nullptr;
    }
    return std::make_unique<FakeRegistration>(*this, Registered{keyCode, modifiers, label, id});
}

void FakeHotKeyService::press(std::uint32_t keyCode, Modifiers modifiers) {
    auto it = std::find_if(registered.begin(), registered.end(), [&](const auto& r) {
        return r.keyCode == keyCode && r.modifiers == modifiers;
    });
    if (it != registered.end()) {
        deliver(it->id);
    }
}

void FakeHotKeyService::release(std::uint32_t keyCode, Modifiers modifiers) {
    auto it = std::find_if(registered.begin(), registered.end(), [&](const auto& r) {
        return r.keyCode == keyCode && r.modifiers == modifiers;
    });
    if (it != registered.end() && releaseHandler_) {
        releaseHandler_(it->id);
    }
}

void FakeHotKeyService::deliver(HotKeyID id) {
    if (handler_) {
        handler_(id);
    }
}

}  // namespace sonarel::doubles
