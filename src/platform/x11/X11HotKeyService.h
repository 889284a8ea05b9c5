#pragma once

#include "platform/HotKeyService.h"
#include "platform/x11/X11Session.h"

#include <QAbstractNativeEventFilter>

#include <memory>
#include <set>
#include <vector>

namespace sonarel::x11 {

// System-wide shortcuts as key grabs on the root window, on Qt's own connection. Each
// combination is grabbed with and without CapsLock and NumLock; its key's release is swallowed.
// A combination another client holds (BadAccess) is refused.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
public:
    // None unless the application runs on X11.
    static std::unique_ptr<X11HotKeyService> create();
    ~X11HotKeyService() override;

    void installHandler(PressHandler handler) override;
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode,
                                                       std::uint32_t modifiers,
                                                       HotKeyID id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    struct Grab {
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
        HotKeyID id;
    };

private:
    explicit X11HotKeyService(X11Session session);
    friend class X11HotKeyRegistration;
    std::vector<std::uint16_t> lockVariants() const;
    void ungrab(const Grab& grab);

    X11Session session_;
    PressHandler handler_;
    std::vector<Grab> grabs_;
    std::set<xcb_keycode_t> down_;  // grabbed keys pressed and not yet released
};

}  // namespace sonarel::x11
